#include "random_source.h"

#include <gtest/gtest.h>

#include <vector>

namespace qv {
namespace {

std::uint32_t fakeTicks = 0;
std::uint32_t FakeTick() noexcept { return fakeTicks; }

std::vector<int> Draw(RandomSource& r, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; ++i)
        out.push_back(r.NextJitter(static_cast<JitterIndex>(i % kJitterPercentCount)));
    return out;
}

TEST(RandomSource, ConstructionReseedsFromTheTickCount) {
    fakeTicks = 1234;
    RandomSource r(&FakeTick);
    EXPECT_EQ(r.storedSeed, 1234u);
    for (int p : r.jitterPercent) EXPECT_EQ(p, 0);
}

TEST(RandomSource, ReplayRepeatsTheSequenceAndKeepsTheSeed) {
    fakeTicks = 99;
    RandomSource r(&FakeTick);
    r.SetJitterRanges(40, 50, 70, 50);
    r.Reseed();
    const auto first = Draw(r, 40);
    fakeTicks = 100;
    r.Replay();
    EXPECT_EQ(r.storedSeed, 99u);
    EXPECT_EQ(Draw(r, 40), first);
    r.Reseed();
    EXPECT_EQ(r.storedSeed, 100u);
    EXPECT_NE(Draw(r, 40), first);
}

TEST(RandomSource, SameTickGivesSamePattern) {
    fakeTicks = 5;
    RandomSource a(&FakeTick), b(&FakeTick);
    a.SetJitterRanges(100, 100, 200, 100);
    b.SetJitterRanges(100, 100, 200, 100);
    EXPECT_EQ(Draw(a, 30), Draw(b, 30));
}

TEST(RandomSource, RangesAreInclusiveAndFollowThePercentages) {
    RandomSource r(&FakeTick);
    r.SetJitterRanges(0, 3, 200, 1);
    EXPECT_EQ(r.jitterPercent[kDensityJitter], 0);
    EXPECT_EQ(r.jitterPercent[kSpaceJitter], 200);
    bool sawSpaceMax = false, sawThicknessMax = false;
    for (int i = 0; i < 20000; ++i) {
        EXPECT_EQ(r.NextJitter(kDensityJitter), 0);
        const int t = r.NextJitter(kThicknessJitter);
        const int s = r.NextJitter(kSpaceJitter);
        const int a = r.NextJitter(kAlphaJitter);
        ASSERT_TRUE(t >= 0 && t <= 3);
        ASSERT_TRUE(s >= 0 && s <= 200);
        ASSERT_TRUE(a == 0 || a == 1);
        sawSpaceMax |= s == 200;
        sawThicknessMax |= t == 3;
    }
    EXPECT_TRUE(sawSpaceMax);
    EXPECT_TRUE(sawThicknessMax);
}

TEST(RandomSource, NegativePercentageMeansOff) {
    RandomSource r(&FakeTick);
    r.SetJitterRanges(-5, 10, 10, 10);
    EXPECT_EQ(r.jitterPercent[kDensityJitter], 0);
    EXPECT_EQ(r.NextJitter(kDensityJitter), 0);
}

}  // namespace
}  // namespace qv
