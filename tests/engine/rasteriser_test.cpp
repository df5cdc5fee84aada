#include "rasteriser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace qv {
namespace {

constexpr std::uint32_t kSentinel = 0xA5A5A5A5u;
constexpr int kGuard = 64;

// A surface with guard words before and after its pixels.
struct Canvas {
    Canvas(int w, int h) : width(w), height(h), storage(static_cast<std::size_t>(w) * h + 2 * kGuard, kSentinel) {
        for (int i = 0; i < w * h; ++i) storage[kGuard + i] = 0;
        surface = Surface{storage.data() + kGuard, static_cast<std::size_t>(w) * h * 4, w, h};
    }
    std::uint32_t At(int x, int y) const { return storage[kGuard + static_cast<std::size_t>(y) * width + x]; }
    double AlphaSum() const {
        double sum = 0;
        for (int i = 0; i < width * height; ++i) sum += (storage[kGuard + i] >> 24) / 255.0;
        return sum;
    }
    bool GuardsIntact() const {
        for (int i = 0; i < kGuard; ++i) {
            if (storage[i] != kSentinel || storage[storage.size() - 1 - i] != kSentinel) return false;
        }
        return true;
    }
    void Fill(const Triangle& t) {
        SurfaceRasteriser r(surface);
        r.FillTriangle(t);
    }
    int width, height;
    std::vector<std::uint32_t> storage;
    Surface surface;
};

TEST(CompositeOver, PremultipliedSourceOver) {
    // Half-transparent red over opaque blue.
    EXPECT_EQ(CompositeOver(0xFF0000FFu, 0x80FF0000u, 1.0f), 0xFF80007Fu);
    // White at alpha 64 onto transparent gives premultiplied grey.
    EXPECT_EQ(CompositeOver(0x00000000u, 0x40FFFFFFu, 1.0f), 0x40404040u);
    // Half coverage of opaque black onto transparent.
    EXPECT_EQ(CompositeOver(0x00000000u, 0xFF000000u, 0.5f), 0x80000000u);
    // Opaque source replaces whatever was there.
    EXPECT_EQ(CompositeOver(0x7F102030u, 0xFF123456u, 1.0f), 0xFF123456u);
    // Nothing at zero coverage.
    EXPECT_EQ(CompositeOver(0x7F102030u, 0xFF123456u, 0.0f), 0x7F102030u);
}

TEST(Rasteriser, CoverageMatchesArea) {
    const Triangle cases[] = {
        {3, 4, 40, 9, 12, 50, 0xFFFFFFFFu},
        {60, 2, 1, 30, 59, 61, 0xFF000000u},
        {10, 10, 11, 60, 12, 10, 0xFF000000u},  // a sliver
    };
    for (const Triangle& t : cases) {
        Canvas c(64, 64);
        c.Fill(t);
        const double area = std::fabs(static_cast<double>(t.c1X - t.tipX) * (t.c2Y - t.tipY) -
                                      static_cast<double>(t.c1Y - t.tipY) * (t.c2X - t.tipX)) / 2.0;
        EXPECT_NEAR(c.AlphaSum(), area, area * 0.01 + 0.5) << t.tipX;
    }
}

TEST(Rasteriser, SharedEdgeLeavesNoSeamAndNoDoubleCoverage) {
    // Coverage of the two halves of a square, each drawn alone, sums to the
    // square's coverage everywhere.
    Canvas a(24, 24), b(24, 24);
    a.Fill({2, 3, 20, 3, 20, 19, 0xFF000000u});
    b.Fill({2, 3, 20, 19, 2, 19, 0xFF000000u});
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            const int sum = static_cast<int>(a.At(x, y) >> 24) + static_cast<int>(b.At(x, y) >> 24);
            const bool inside = x >= 3 && x < 20 && y >= 4 && y < 19;
            if (inside) {
                EXPECT_NEAR(sum, 255, 1) << x << "," << y;
            }
            EXPECT_LE(sum, 256) << x << "," << y;
        }
    }
}

TEST(Rasteriser, FarAndNegativeVerticesAreClipped) {
    Canvas c(16, 16);
    c.Fill({-200000, -200000, 300000, 10, 10, 300000, 0xFF336699u});
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) EXPECT_EQ(c.At(x, y), 0xFF336699u) << x << "," << y;
    }
    EXPECT_TRUE(c.GuardsIntact());

    // Entirely outside: nothing is touched.
    Canvas d(16, 16);
    d.Fill({-100, -100, -50, -300000, -400000, 5, 0xFF000000u});
    d.Fill({100, 100, 300000, 120, 200, 300000, 0xFF000000u});
    EXPECT_EQ(d.AlphaSum(), 0.0);
    EXPECT_TRUE(d.GuardsIntact());
}

TEST(Rasteriser, DegenerateAndTransparentTrianglesDrawNothing) {
    Canvas c(32, 32);
    c.Fill({1, 1, 10, 10, 20, 20, 0xFF000000u});  // collinear
    c.Fill({5, 5, 5, 5, 5, 5, 0xFF000000u});      // a point
    c.Fill({1, 1, 30, 2, 2, 30, 0x00FFFFFFu});    // alpha 0
    EXPECT_EQ(c.AlphaSum(), 0.0);
}

TEST(Rasteriser, ExtremeCoordinatesNeverWriteOutsideTheBuffer) {
    std::mt19937 rng(12345);
    const std::int32_t picks[] = {INT32_MIN, INT32_MAX, -1, 0, 1, 7, 8, 9, -300000, 300000, 2147483520};
    std::uniform_int_distribution<int> pick(0, std::size(picks) - 1), coin(0, 1), small(-20, 30);
    for (int size : {1, 2, 9}) {
        Canvas c(size, size + 1);
        SurfaceRasteriser r(c.surface);
        for (int i = 0; i < 5000; ++i) {
            std::int32_t v[6];
            for (auto& x : v) x = coin(rng) ? picks[pick(rng)] : small(rng);
            r.FillTriangle({v[0], v[1], v[2], v[3], v[4], v[5], 0xC0123456u});
        }
        EXPECT_TRUE(c.GuardsIntact()) << size;
    }
}

TEST(Rasteriser, LaterTrianglesCoverEarlierOnes) {
    Canvas c(8, 8);
    SurfaceRasteriser r(c.surface);
    r.FillTriangle({-100, -100, 300, -100, -100, 300, 0xFFFF0000u});
    r.FillTriangle({-100, -100, 300, -100, -100, 300, 0x800000FFu});
    // Half-transparent blue over opaque red.
    EXPECT_EQ(c.At(0, 0), 0xFF7F0080u);
}

TEST(Rasteriser, ClearOnlyTouchesByteSize) {
    Canvas c(4, 4);
    for (int i = 0; i < 16; ++i) c.storage[kGuard + i] = 0x12345678u;
    SurfaceRasteriser r(c.surface);
    r.BeginFrame(4, 4);
    EXPECT_EQ(c.AlphaSum(), 0.0);
    EXPECT_TRUE(c.GuardsIntact());
}

}  // namespace
}  // namespace qv
