// The fill's stages on tiny inputs: the row kernels' plain and SSE2 twins
// on awkward lengths and starts, and an edge piece's exact area in the
// cells it crosses, inside the picture and across its side.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fill_edge_piece.h"
#include "fill_row_kernels.h"

namespace qv::fill {
namespace {

// Row differences with runs of zeros, small steps and steps past
// saturation, so that both the carried and the added paths run.
std::vector<std::uint32_t> Differences(std::size_t n, std::uint32_t seed) {
    std::vector<std::uint32_t> d(n + 4, 0u);
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const std::uint32_t pick = seed >> 28;
        d[i] = pick < 9 ? 0u : (pick < 12 ? seed % 9000u : (pick < 14 ? kSaturated : 0u - kSaturated / 2));
    }
    return d;
}

TEST(RowKernels, PlainAndVectorTwinsAgreeOnAwkwardLengths) {
    if (!VectorCodeBuilt()) GTEST_SKIP() << "built without vector code: only the plain kernels exist";
#if QV_FILL_SSE2
    std::vector<std::uint32_t> bySum(kSaturated / kSumStep + 1);
    for (std::size_t i = 0; i < bySum.size(); ++i) bySum[i] = static_cast<std::uint32_t>(i * 2654435761u);
    constexpr std::uint32_t kOpaque = 0xFF102030u;
    for (const std::int32_t n : {0, 1, 3, 4, 5, 17}) {
        for (std::uint32_t trial = 0; trial < 24; ++trial) {
            const std::int32_t start = static_cast<std::int32_t>(trial % 3);  // unaligned rows and pixels
            const auto seed = static_cast<std::uint32_t>(n) * 131u + trial;
            std::vector<std::uint32_t> a = Differences(static_cast<std::size_t>(n + start), seed), b = a;
            EXPECT_EQ(sse2::SumOf(a.data() + start, n), scalar::SumOf(a.data() + start, n)) << n;
            std::vector<std::uint32_t> openA(a.size() + 1, 7u), openB = openA;
            scalar::SumRow(a.data() + start, n, openA.data() + start);
            sse2::SumRow(b.data() + start, n, openB.data() + start);
            EXPECT_EQ(a, b) << "sums, n " << n << " start " << start;
            EXPECT_EQ(openA, openB) << "open counts, n " << n << " start " << start;
            for (std::int32_t first = start; first < start + n; ++first) {
                for (std::int32_t last = first; last < start + n; ++last) {
                    EXPECT_EQ(sse2::AllSaturated(a.data(), first, last),
                              scalar::AllSaturated(a.data(), first, last))
                        << "[" << first << ", " << last << "]";
                }
            }
            std::vector<std::uint32_t> pixelsA(static_cast<std::size_t>(n + start), 1u), pixelsB = pixelsA;
            scalar::ResolveCells(a.data() + start, pixelsA.data() + start, n, bySum.data(), kOpaque);
            sse2::ResolveCells(b.data() + start, pixelsB.data() + start, n, bySum.data(), kOpaque);
            EXPECT_EQ(pixelsA, pixelsB) << "pixels, n " << n << " start " << start;
            EXPECT_EQ(a, b) << "sums cleared, n " << n << " start " << start;
            sse2::FillPixels(pixelsB.data() + start, n, 5u);
            scalar::FillPixels(pixelsA.data() + start, n, 5u);
            EXPECT_EQ(pixelsA, pixelsB);
        }
    }
    FinishStores();
#endif
}

// The running sums and open counts of a hand-made row: a line's inside from
// cell 1 to 3, an opaque one from cell 2 on.
TEST(RowKernels, SumRowCountsOpenCellsBelowSaturation) {
    std::vector<std::uint32_t> row = {0, 100, kSaturated, 0, 0u - 100u, 0};
    std::vector<std::uint32_t> open(row.size() + 1);
    SumRow(row.data(), static_cast<std::int32_t>(row.size()), open.data());
    const std::uint32_t s = kSaturated + 100;
    EXPECT_EQ(row, (std::vector<std::uint32_t>{0, 100, s, s, kSaturated, kSaturated}));
    EXPECT_EQ(open, (std::vector<std::uint32_t>{0, 1, 2, 2, 2, 2, 2}));
}

// The area right of a piece in each cell of its row, as the running sum of
// what it leaves in the cells.
std::vector<float> AreaRightOf(double x0, double x1, double dy, double width) {
    std::vector<float> cover(static_cast<std::size_t>(width) + 2, 0.0f);
    std::int32_t lo = static_cast<std::int32_t>(width) + 2, hi = -1;
    AccumulateClipped(cover.data(), x0, x1, dy, width, lo, hi);
    float run = 0.0f;
    for (float& c : cover) c = run += c;
    cover.resize(static_cast<std::size_t>(width));
    return cover;
}

TEST(EdgePiece, AreaRightOfAPieceIsExactInEveryCell) {
    // x = 0.5 + 2y over the row: 1/16, 1/2 and 15/16 of cells 0 to 2.
    const auto slanted = AreaRightOf(0.5, 2.5, 1.0, 4.0);
    const std::vector<float> slantedArea = {0.0625f, 0.5f, 0.9375f, 1.0f};
    // Half of it left of the picture, which lands whole in column 0.
    const auto across = AreaRightOf(-1.0, 1.0, 1.0, 4.0);
    const std::vector<float> acrossArea = {0.75f, 1.0f, 1.0f, 1.0f};
    // Straight down at 2.25 with weight -0.5.
    const auto upright = AreaRightOf(2.25, 2.25, -0.5, 4.0);
    const std::vector<float> uprightArea = {0.0f, 0.0f, -0.375f, -0.5f};
    for (std::size_t c = 0; c < 4; ++c) {
        EXPECT_NEAR(slanted[c], slantedArea[c], 1e-6) << c;
        EXPECT_NEAR(across[c], acrossArea[c], 1e-6) << c;
        EXPECT_NEAR(upright[c], uprightArea[c], 1e-6) << c;
    }
}

TEST(EdgePiece, SortsPiecesLeftInsideRightAndAcross) {
    float lo[4], hi[4], height[4];
    ClusterPieces pieces{lo, hi, height, 0, 0.25f};
    double x0, x1, dy;
    // Edges over rows 0 to 2 (slope 1), cut to the row [1, 2], width 8, cluster from cell 3.
    EXPECT_TRUE(SortPiece(Edge{0.0, 2.0, -5.0, 1.0, 0.5f}, 1.0, 2.0, 8.0, 3.0, pieces, x0, x1, dy));  // left
    EXPECT_TRUE(SortPiece(Edge{0.0, 2.0, 9.0, 1.0, 0.5f}, 1.0, 2.0, 8.0, 3.0, pieces, x0, x1, dy));   // right
    EXPECT_TRUE(
        SortPiece(Edge{0.0, 2.0, 3.0, 1.0, -1.0f}, 1.0, 2.0, 8.0, 3.0, pieces, x0, x1, dy));  // inside
    EXPECT_TRUE(
        SortPiece(Edge{3.0, 4.0, 3.0, 1.0, 1.0f}, 1.0, 2.0, 8.0, 3.0, pieces, x0, x1, dy));  // other rows
    EXPECT_FALSE(
        SortPiece(Edge{0.0, 2.0, 6.5, 1.0, 1.0f}, 1.0, 2.0, 8.0, 3.0, pieces, x0, x1, dy));  // across
    EXPECT_DOUBLE_EQ(x0, 7.5);
    EXPECT_DOUBLE_EQ(x1, 8.5);
    EXPECT_FLOAT_EQ(pieces.base, 0.75f);
    ASSERT_EQ(pieces.count, 1u);
    EXPECT_FLOAT_EQ(lo[0], 1.0f);
    EXPECT_FLOAT_EQ(hi[0], 2.0f);
    EXPECT_FLOAT_EQ(height[0], -1.0f);
}

}  // namespace
}  // namespace qv::fill
