#include "point_queue.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(PointQueue, DrainGivesCountAndNewestThenEmpties) {
    PointQueue q;
    EXPECT_EQ(q.Drain().count, 0u);
    ASSERT_TRUE(q.Append({1, 2}));
    ASSERT_TRUE(q.Append({3, 4}));
    ASSERT_TRUE(q.Append({-5, 6}));
    const DrainResult r = q.Drain();
    EXPECT_EQ(r.count, 3u);
    EXPECT_EQ(r.newest.x, -5);
    EXPECT_EQ(r.newest.y, 6);
    EXPECT_EQ(q.size(), 0u);
    EXPECT_EQ(q.Drain().count, 0u);
}

TEST(PointQueue, FiftyPointsDrainOnceAtTheFiftieth) {
    PointQueue q;
    for (int i = 1; i <= 50; ++i) ASSERT_TRUE(q.Append({i, i * 2}));
    const DrainResult first = q.Drain();
    EXPECT_EQ(first.count, 50u);
    EXPECT_EQ(first.newest.x, 50);
    EXPECT_EQ(first.newest.y, 100);
    for (int i = 0; i < 49; ++i) EXPECT_EQ(q.Drain().count, 0u);
}

TEST(PointQueue, StorageGrowsByHalfAndIsKeptAfterDrain) {
    PointQueue q;
    // Capacities after each growth: +1 while small, then +half.
    const std::size_t growth[] = {1, 2, 3, 4, 6, 9, 13, 19, 28, 42};
    std::size_t next = 0;
    for (int i = 0; i < 40; ++i) {
        if (q.size() == q.capacity()) ++next;
        ASSERT_TRUE(q.Append({i, i}));
        EXPECT_EQ(q.capacity(), growth[next - 1]) << "after " << i + 1 << " appends";
    }
    const std::size_t kept = q.capacity();
    q.Drain();
    EXPECT_EQ(q.capacity(), kept);
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(q.Append({i, i}));
    EXPECT_EQ(q.capacity(), kept) << "steady use allocates nothing";
}

}  // namespace
}  // namespace qv
