// The frame's pixels against a high-precision reference: the same triangles
// sampled 16 x 16 times per pixel, composited per sample in double precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "fill_simd.h"
#include "focus_lines.h"
#include "frame_accumulator.h"
#include "frame_composer.h"
#include "frame_coverage.h"
#include "quality_reference.h"
#include "rasteriser.h"
#include "triangle_recorder.h"

namespace qv {
namespace {

using namespace quality;

// The benchmark's frames at a quarter of their size: the lines' angles do not
// depend on the size, and the empty centre is scaled by hand. Lines are
// thinner here than at full size, so the fill has the harder task.
const Case kFrames[] = {
    {"defaults", 480, 270, 180, 25, 50, 500, 50, 0},
    {"density500", 480, 270, 500, 25, 50, 500, 0, 0},
    {"density500_alpha50", 480, 270, 500, 25, 50, 500, 50, 0},
    {"density500_blur20", 480, 270, 500, 25, 50, 500, 0, 20},
};

// Other shapes, small: thick sparse lines, stretch with alpha jitter, long
// faint gradations, and gradations whose lines leave the picture at its
// sides, where a line's sides fall into different clusters or out of the
// picture.
const Case kShapes[] = {
    {"sparse_wide", 160, 100, 10, 20, 300, 500, 0, 0},
    {"stretched_alpha", 160, 100, 300, 14, 80, 80, 30, 0},
    {"sparse_blur1", 160, 100, 120, 10, 50, 500, 0, 1},
    {"sparse_blur20_alpha", 160, 100, 100, 12, 120, 700, 50, 20},
    {"blur20_centre_right", 160, 100, 120, 12, 120, 500, 0, 20, 72, -30},
    {"blur20_centre_left", 160, 100, 120, 12, 120, 300, 0, 20, -74, 40},
};

Error Measure(const Case& c) {
    const Error e = Compare(RenderedFrame(c), ReferenceAlpha(FrameTriangles(c), c.width, c.height));
    std::printf("%-22s mean %.3f/255  p99 %.2f/255\n", c.name, e.mean, e.p99);
    return e;
}

TEST(Quality, FramesMatchTheSupersampledReference) {
    for (const Case& c : kFrames) {
        const Error e = Measure(c);
        EXPECT_LE(e.mean, 0.5) << c.name;
        // No class of pixels is systematically off: the worst percent stays small.
        EXPECT_LE(e.p99, 10.0) << c.name;
    }
}

// Where the edges of different lines cross inside one pixel, coverage
// composited line by line cannot know how the parts overlap; thick sparse
// lines and stretched ones show it most. The gradations themselves are exact.
TEST(Quality, OtherShapesStayCloseToTheReference) {
    for (const Case& c : kShapes) {
        const Error e = Measure(c);
        const bool blurred = c.blur != 0;
        EXPECT_LE(e.mean, blurred ? 0.5 : 2.5) << c.name;
        EXPECT_LE(e.p99, blurred ? 1.0 : 40.0) << c.name;
    }
}

// The same measure rejects a fill that is only slightly wrong: the same
// triangles one pixel to the right.
TEST(Quality, MeasureRejectsAFillOnePixelOff) {
    const Case c = {"defaults_small", 96, 64, 180, 16, 50, 500, 50, 0};
    std::vector<Triangle> triangles = FrameTriangles(c);
    const auto reference = ReferenceAlpha(triangles, c.width, c.height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * c.height);
    Surface surface{pixels.data(), pixels.size() * 4, c.width, c.height};
    FrameAccumulator shifted(surface);
    shifted.BeginFrame(c.width, c.height);
    shifted.BeginPass(PassInfo{0.0f, 255, 0, static_cast<std::uint32_t>(triangles.size())});
    for (Triangle t : triangles) {
        ++t.tipX, ++t.c1X, ++t.c2X;
        shifted.FillTriangle(t);
    }
    shifted.EndFrame();
    EXPECT_GT(Compare(pixels, reference).mean, 0.5);
}

// Twelve nested blur triangles composited one by one darken their shared
// edges; the frame path must not, and the measure must see the difference.
TEST(Quality, NestedBlurEdgesDoNotDarkenEachOther) {
    const Case c = {"blur_small", 96, 64, 180, 12, 50, 500, 0, 20};
    std::vector<Triangle> triangles = FrameTriangles(c);
    const auto reference = ReferenceAlpha(triangles, c.width, c.height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * c.height);
    Surface surface{pixels.data(), pixels.size() * 4, c.width, c.height};
    SurfaceRasteriser oneByOne(surface);
    oneByOne.BeginFrame(c.width, c.height);
    for (const Triangle& t : triangles) oneByOne.FillTriangle(t);
    const Error separate = Compare(pixels, reference);
    const Error frame = Compare(RenderedFrame(c), reference);
    EXPECT_LT(frame.mean, separate.mean);
    std::printf("one by one: mean %.3f/255; frame: mean %.3f/255\n", separate.mean, frame.mean);
}

// One wide line of the blur's twelve passes whose axis runs down the middle
// column: corners far below the picture, tips 9 rows apart from row 10 down.
// Going outward along the axis, alpha never falls and rises a step per pass,
// to opaque: the passes' staircase is neither smoothed into one ramp nor
// missing a step.
TEST(Quality, BlurLineKeepsItsStaircaseAlongItsAxis) {
    constexpr int kWidth = 64, kHeight = 140, kAxis = kWidth / 2;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    Surface surface{pixels.data(), pixels.size() * 4, kWidth, kHeight};
    FrameAccumulator frame(surface);
    frame.BeginFrame(kWidth, kHeight);
    for (int k = 0; k < kBlurPassCount; ++k) {
        const std::uint8_t alpha = kBlurPassOpacity[k];
        frame.BeginPass(PassInfo{0.0f, alpha, 0xFFFFFFu, 1});
        frame.FillTriangle(Triangle{kAxis, 10 + 9 * k, kAxis - 90, kHeight + 400, kAxis + 90, kHeight + 400,
                                    (static_cast<std::uint32_t>(alpha) << 24) | 0xFFFFFFu});
        frame.EndPass();
    }
    frame.EndFrame();
    int previous = 0, steps = 0;
    for (int y = 0; y < kHeight; ++y) {
        const int a = static_cast<int>(pixels[static_cast<std::size_t>(y) * kWidth + kAxis] >> 24);
        EXPECT_GE(a, previous) << "row " << y;
        steps += a > previous ? 1 : 0;
        previous = a;
    }
    // A step a pass, give or take the rows where one spreads over two.
    EXPECT_GE(steps, kBlurPassCount - 1);
    EXPECT_EQ(previous, 255);
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

using namespace quality;

// Area right of a piece in each cell, by brute force: the piece's row
// sliced finely, each slice's x exact.
std::vector<double> SlicedCoverage(const std::vector<float>& lo, const std::vector<float>& hi,
                                   const std::vector<float>& h, int cells, float base) {
    constexpr int kSlices = 4096;
    std::vector<double> out(static_cast<std::size_t>(cells), base);
    for (std::size_t k = 0; k < lo.size(); ++k) {
        for (int s = 0; s < kSlices; ++s) {
            const double x = lo[k] + (hi[k] - lo[k]) * (s + 0.5) / kSlices;
            for (int c = 0; c < cells; ++c) {
                out[static_cast<std::size_t>(c)] += h[k] * std::clamp(c + 1.0 - x, 0.0, 1.0) / kSlices;
            }
        }
    }
    return out;
}

// Pieces inside a cell, across several, vertical, left of all cells and
// beyond them, with weights of both signs; the vector form and the plain one
// agree with slicing, for piece counts that do and do not fill whole groups.
TEST(CellCoverage, MatchesSlicedAreaInVectorAndPlainForm) {
    std::mt19937 random(Seed());
    auto fraction = [&random] { return static_cast<float>(random() % 101) / 100.0f; };  // in steps of 1/100
    for (int trial = 0; trial < 40; ++trial) {
        const std::size_t n = static_cast<std::size_t>(1 + trial % 11);
        const int cells = 1 + trial % 9;
        std::vector<float> lo(n), hi(n), h(n);
        for (std::size_t k = 0; k < n; ++k) {
            const float a = fraction() * (static_cast<float>(cells) + 2.0f) - 1.0f;
            const float width = k % 4 == 0 ? 0.0f : fraction() * 3.0f;
            lo[k] = a;
            hi[k] = a + width;
            h[k] = (fraction() - 0.5f) * 2.0f;
        }
        const float base = 0.25f;
        const auto expected = SlicedCoverage(lo, hi, h, cells, base);
        std::vector<float> vector(static_cast<std::size_t>(cells)), plain(static_cast<std::size_t>(cells));
        CellCoverage(lo.data(), hi.data(), h.data(), n, cells, base, vector.data());
        CellCoverageScalar(lo.data(), hi.data(), h.data(), n, cells, base, plain.data());
        for (int c = 0; c < cells; ++c) {
            const std::size_t i = static_cast<std::size_t>(c);
            EXPECT_NEAR(plain[i], expected[i], 2e-3) << "trial " << trial << " cell " << c;
            // Where the build has no vector code both are the plain form.
            EXPECT_NEAR(vector[i], plain[i], 1e-5) << "trial " << trial << " cell " << c;
        }
    }
}

std::vector<std::uint32_t> FillWith(const std::vector<std::vector<Triangle>>& passes, int w, int h) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h, 0xDEADBEEFu);
    Surface surface{pixels.data(), pixels.size() * 4, w, h};
    FrameAccumulator frame(surface);
    frame.BeginFrame(w, h);
    for (const auto& pass : passes) {
        frame.BeginPass(PassInfo{0.0f, 255, 0, static_cast<std::uint32_t>(pass.size())});
        for (const Triangle& t : pass) frame.FillTriangle(t);
        frame.EndPass();
    }
    frame.EndFrame();
    return pixels;
}

std::vector<std::vector<Triangle>> FramePasses(const Case& c) {
    const EffectSettings s = SettingsFor(c);
    RandomSource r = SourceFor(s);
    TriangleRecorder rec;
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, s, r, c.width, c.height, constantAlpha, rec);
    std::vector<std::vector<Triangle>> passes;
    for (const auto& p : rec.passes) passes.push_back(p.triangles);
    return passes;
}

// Lines hidden under their opaque neighbours are skipped, and which ones are
// depends on the order the lines come in. Any order gives the very same
// pixels, so the skipping never shows.
TEST(FrameFill, LineOrderDoesNotChangeAPixel) {
    for (const Case& c : {kFrames[1], kFrames[2], kShapes[0]}) {
        auto passes = FramePasses(c);
        const auto inOrder = FillWith(passes, c.width, c.height);
        // Every other line first, then the rest backwards: new neighbours.
        for (auto& pass : passes) {
            std::vector<Triangle> shuffled;
            for (std::size_t i = 0; i < pass.size(); i += 2) shuffled.push_back(pass[i]);
            for (std::size_t i = pass.size(); i-- > 0;) {
                if (i % 2 == 1) shuffled.push_back(pass[i]);
            }
            pass = shuffled;
        }
        const auto reordered = FillWith(passes, c.width, c.height);
        EXPECT_EQ(inOrder, reordered) << c.name;
        // The pictures are not empty or uniform.
        EXPECT_NE(std::count(inOrder.begin(), inOrder.end(), inOrder.front()),
                  static_cast<std::ptrdiff_t>(inOrder.size()));
    }
}

// A frame for the tests that turn a shortcut of the fill off and on.
struct ShortcutFrame {
    const char* name;
    int width, height, density, ratio, alphaJitter, blur, centreX, centreY;
};

EffectSettings SettingsFor(const ShortcutFrame& f) {
    EffectSettings s;
    ApplyStartupDefaults(s);
    s.density = static_cast<std::uint16_t>(f.density);
    s.ratio = static_cast<std::uint16_t>(f.ratio);
    s.alphaJitter = f.alphaJitter;
    s.blurLevel = f.blur;
    s.red = 30;
    s.centerX = f.centreX;
    s.centerY = f.centreY;
    return s;
}

// The frame as a fresh accumulator with these options fills it, and what
// the fill found.
std::vector<std::uint32_t> FilledFrame(const ShortcutFrame& f, FillOptions options,
                                       FillStats* stats = nullptr) {
    const EffectSettings s = SettingsFor(f);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(f.width) * f.height, 0xDEADBEEFu);
    Surface surface{pixels.data(), pixels.size() * 4, f.width, f.height};
    FrameAccumulator frame(surface, options);
    RandomSource r = SourceFor(s);
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, s, r, f.width, f.height, constantAlpha, frame);
    if (stats != nullptr) *stats = frame.Stats();
    return pixels;
}

std::size_t DifferingPixels(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    std::size_t differing = 0;
    for (std::size_t i = 0; i < a.size(); ++i) differing += a[i] != b[i] ? 1 : 0;
    return differing;
}

// Far from the centre the dense frames are opaque whatever the details, and
// the fill writes them so without sweeping the lines there. Not a pixel may
// differ from the frame swept whole, wherever the centre (even outside the
// picture) and whatever the ellipse; sparse frames are swept whole.
TEST(FrameFill, FarFieldShortcutChangesNoPixel) {
    struct Frame {
        ShortcutFrame frame;
        bool opaqueFarField;
    };
    const Frame frames[] = {
        {{"dense", 1920, 1080, 500, 500, 0, 0, 960, 540}, true},
        {{"dense_alpha", 1920, 1080, 500, 500, 50, 0, 960, 540}, true},
        {{"dense_corner", 1280, 720, 500, 500, 0, 0, 20, 700}, true},
        {{"dense_flat_ellipse", 1280, 720, 500, 1000, 0, 0, 640, 360}, true},
        {{"dense_tall_ellipse", 1280, 720, 500, 0, 0, 0, 300, 200}, true},
        {{"dense_centre_outside", 800, 600, 500, 500, 0, 0, -300, 300}, false},
        {{"dense_blur", 1280, 720, 500, 500, 0, 20, 600, 400}, true},
        {{"dense_blur_alpha", 1280, 720, 500, 600, 50, 5, 700, 300}, true},
        {{"sparse", 1280, 720, 60, 500, 50, 0, 640, 360}, false},
    };
    for (const auto& [f, opaqueFarField] : frames) {
        FillStats stats;
        const auto fast = FilledFrame(f, FillOptions{}, &stats);
        const double radius = stats.saturatedRadius;
        const auto whole = FilledFrame(f, FillOptions{.farFieldShortcut = false});
        EXPECT_EQ(DifferingPixels(fast, whole), 0u) << f.name;
        // Where no ring is ever covered the frame must be swept whole.
        EXPECT_EQ(std::isfinite(radius), opaqueFarField) << f.name << ": saturated beyond " << radius;
        std::printf("%-22s saturated beyond %.0f px\n", f.name, radius);
    }
}

// A blur line's translucent passes are wider than its last, opaque one;
// where many lines' passes overlap they saturate nearer the centre than the
// last passes alone, and the far field must count them: the frame's
// saturated radius lies inside that of its last pass drawn alone.
TEST(FrameFill, FarFieldCountsTheBlursTranslucentPasses) {
    const ShortcutFrame f{"dense_blur", 1280, 720, 500, 500, 0, 1, 600, 400};
    const EffectSettings s = SettingsFor(f);
    RandomSource r = SourceFor(s);
    TriangleRecorder recorder;
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, s, r, f.width, f.height, constantAlpha, recorder);
    ASSERT_EQ(recorder.passes.size(), static_cast<std::size_t>(kBlurPassCount));
    auto radiusOf = [&](std::size_t firstPass) {
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(f.width) * f.height);
        Surface surface{pixels.data(), pixels.size() * 4, f.width, f.height};
        FrameAccumulator frame(surface);
        frame.BeginFrame(f.width, f.height);
        for (std::size_t p = firstPass; p < recorder.passes.size(); ++p) {
            frame.BeginPass(recorder.passes[p].info);
            for (const Triangle& t : recorder.passes[p].triangles) frame.FillTriangle(t);
            frame.EndPass();
        }
        frame.EndFrame();
        return frame.Stats().saturatedRadius;
    };
    const double all = radiusOf(0), last = radiusOf(kBlurPassCount - 1);
    std::printf("saturated beyond %.0f px, with the last pass alone %.0f px\n", all, last);
    ASSERT_TRUE(std::isfinite(last));
    EXPECT_LT(all, last - 16.0);
}

// In a blur line's gradation, where its two sides share their cells, the
// row is one cluster found from single-precision bounds instead of the
// general way (its joined sides): not a pixel may differ, for any centre,
// ellipse or blur level.
TEST(FrameFill, JoinedSidesShortcutChangesNoPixel) {
    const ShortcutFrame frames[] = {
        {"blur20", 960, 540, 500, 500, 0, 20, 480, 270},
        {"blur20_alpha_near_side", 960, 540, 400, 500, 50, 20, 60, 500},
        {"blur7_flat_ellipse", 800, 600, 300, 900, 0, 7, 420, 280},
        {"blur1_tall_ellipse", 800, 600, 500, 100, 20, 1, 350, 330},
        {"blur12_centre_outside", 640, 480, 500, 500, 0, 12, 700, -40},
    };
    for (const ShortcutFrame& f : frames) {
        FillStats stats;
        const auto fast = FilledFrame(f, FillOptions{}, &stats);
        const std::size_t joined = stats.joinedSidesRows;
        const auto general = FilledFrame(f, FillOptions{.joinedSidesShortcut = false});
        EXPECT_EQ(DifferingPixels(fast, general), 0u) << f.name;
        EXPECT_GT(joined, 1000u) << f.name << ": the joined sides went the general way";
    }
}

// Rows swept in batches on several threads give the very picture one thread
// gives, however the rows fall to the threads: a batch that begins in the
// middle of lines must find them under way.
TEST(FrameFill, ThreadsChangeNoPixel) {
    const ShortcutFrame frames[] = {
        {"dense_blur1", 960, 540, 500, 500, 0, 1, 480, 270},
        {"dense_alpha", 1280, 720, 500, 500, 50, 0, 640, 360},
        {"blur7_centre_outside", 640, 480, 500, 500, 20, 7, 700, -40},
        {"blur12_tall", 200, 1500, 400, 100, 50, 12, 100, 700},
    };
    for (const ShortcutFrame& f : frames) {
        FillStats stats;
        const auto one = FilledFrame(f, FillOptions{.threads = 1}, &stats);
        EXPECT_EQ(stats.threads, 1u) << f.name;
        const std::size_t joined = stats.joinedSidesRows;
        const auto several = FilledFrame(f, FillOptions{.threads = 5}, &stats);
        EXPECT_EQ(DifferingPixels(one, several), 0u) << f.name;
        EXPECT_GT(stats.threads, 1u) << f.name << ": swept on one thread";
        EXPECT_EQ(stats.joinedSidesRows, joined) << f.name << ": every thread's rows counted";
    }
}

// The plain code that builds without vector instructions gives the same
// picture, up to the order of float additions.
TEST(FrameFill, PlainCodeGivesTheSamePicture) {
    if (!fill::VectorCodeBuilt()) GTEST_SKIP() << "built without vector code: nothing to compare";
    for (const Case& c : {kFrames[0], kFrames[1], kFrames[3], kShapes[3]}) {
        const auto vector = RenderedFrame(c);
        const auto plain = RenderedFrame(c, FillOptions{.vectorCode = false});
        int worst = 0;
        for (std::size_t i = 0; i < vector.size(); ++i) {
            for (int shift = 0; shift < 32; shift += 8) {
                worst = std::max(worst, std::abs(static_cast<int>((vector[i] >> shift) & 0xFFu) -
                                                 static_cast<int>((plain[i] >> shift) & 0xFFu)));
            }
        }
        EXPECT_LE(worst, 1) << c.name;
    }
}

// The area of triangle t within the unit square at (x0, y0): the triangle
// clipped against the square's four sides, then the shoelace formula.
double CellCoverageOf(const Triangle& t, double x0, double y0) {
    std::vector<std::pair<double, double>> poly = {{t.tipX, t.tipY}, {t.c1X, t.c1Y}, {t.c2X, t.c2Y}};
    auto clip = [&](auto inside, auto cross) {
        std::vector<std::pair<double, double>> out;
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const auto a = poly[i], b = poly[(i + 1) % poly.size()];
            if (inside(a)) out.push_back(a);
            if (inside(a) != inside(b)) out.push_back(cross(a, b));
        }
        poly = out;
    };
    auto atX = [](double x) {
        return [x](std::pair<double, double> a, std::pair<double, double> b) {
            return std::pair<double, double>{
                x, a.second + (b.second - a.second) * (x - a.first) / (b.first - a.first)};
        };
    };
    auto atY = [](double y) {
        return [y](std::pair<double, double> a, std::pair<double, double> b) {
            return std::pair<double, double>{
                a.first + (b.first - a.first) * (y - a.second) / (b.second - a.second), y};
        };
    };
    clip([&](auto p) { return p.first >= x0; }, atX(x0));
    clip([&](auto p) { return p.first <= x0 + 1.0; }, atX(x0 + 1.0));
    clip([&](auto p) { return p.second >= y0; }, atY(y0));
    clip([&](auto p) { return p.second <= y0 + 1.0; }, atY(y0 + 1.0));
    double twice = 0.0;
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const auto a = poly[i], b = poly[(i + 1) % poly.size()];
        twice += a.first * b.second - b.first * a.second;
    }
    return std::fabs(twice) / 2.0;
}

// Triangles a few pixels across, where all three edges pass through the same
// cells of a row, fed to the fill by hand: each pixel's alpha is the exact
// area the triangle covers of it (to the 8-bit step), in the vector code and
// in the plain code alike.
TEST(FrameFill, TinyTrianglesCoverTheirExactArea) {
    constexpr int kSize = 8;
    const Triangle tiny[] = {
        {2, 2, 4, 3, 3, 4, 0xFF000000u},  // three rows, three edges in the middle one
        {3, 1, 5, 2, 2, 3, 0xFF000000u},
        {1, 4, 6, 3, 4, 5, 0xFF000000u},
        {4, 2, 4, 3, 5, 4, 0xFF000000u},  // one side straight down
    };
    for (const Triangle& t : tiny) {
        for (bool vector : {true, false}) {
            std::vector<std::uint32_t> pixels(kSize * kSize, 0xDEADBEEFu);
            Surface surface{pixels.data(), pixels.size() * 4, kSize, kSize};
            FrameAccumulator fill(surface, FillOptions{.vectorCode = vector});
            fill.BeginFrame(kSize, kSize);
            fill.BeginPass(PassInfo{0.0f, 255, 0, 1});
            fill.FillTriangle(t);
            fill.EndPass();
            fill.EndFrame();
            for (int y = 0; y < kSize; ++y) {
                for (int x = 0; x < kSize; ++x) {
                    // Vertices sit at pixel centres: pixel (x, y) is [x - 0.5, x + 0.5] there.
                    const double exact = CellCoverageOf(t, x - 0.5, y - 0.5);
                    const int alpha = static_cast<int>(pixels[static_cast<std::size_t>(y) * kSize + x] >> 24);
                    EXPECT_NEAR(alpha, exact * 255.0, 1.0)
                        << "triangle at " << t.tipX << "," << t.tipY << (vector ? " vector" : " plain")
                        << " pixel " << x << "," << y;
                }
            }
        }
    }
}

// The fill writes every pixel: nothing of what the buffer held before shows,
// also where no line passes and beyond the picture's last row.
TEST(FrameFill, WritesTheWholeBuffer) {
    const Case c = kShapes[0];
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.width) * c.height + 7, 0xDEADBEEFu);
    Surface surface{pixels.data(), pixels.size() * 4, c.width, c.height};
    const EffectSettings s = SettingsFor(c);
    RandomSource r = SourceFor(s);
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, s, r, surface, constantAlpha);
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xDEADBEEFu), 0);
    EXPECT_EQ(pixels.back(), 0u);
    EXPECT_GT(std::count(pixels.begin(), pixels.end(), 0u), 0);
}

}  // namespace
}  // namespace qv
