// The frame fill's pixels, pinned: a spread of settings rendered through
// RenderFrame and hashed, against the hashes of the pictures the fill
// draws. Any change to the fill that moves a single bit of a single pixel
// shows here; a change meant to move pixels updates the hashes and
// says why in its commit.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "frame_composer.h"

namespace qv {
namespace {

std::uint32_t PinnedTick() noexcept { return 20261208u; }

struct PinnedFrame {
    const char* name;
    int width, height;
    int density, thickness, space, ratio;
    int alphaJitter, blur;
    int centreX, centreY;     // absolute, may lie outside the picture
    std::uint64_t hash;       // built with vector instructions
    std::uint64_t plainHash;  // built without them (float sums in another order)
};

// Small and large pictures, centres inside, at a corner and far outside,
// both stretches, alpha jitter, thick sparse lines, the far field's dense
// frames and blur levels from 1 to 20.
const PinnedFrame kPinned[] = {
    {"one_pixel", 1, 1, 180, 50, 100, 500, 50, 0, 0, 0, 0x4d25767f9dce13f5ull, 0x4d25767f9dce13f5ull},
    {"tiny_blur20", 7, 5, 500, 300, 10, 500, 0, 20, 3, 2, 0xed5445d5434eb3e6ull, 0xed5445d5434eb3e6ull},
    {"defaults", 320, 200, 180, 50, 100, 500, 50, 0, 160, 100, 0x6f3a7c6973a27206ull, 0x6f3a7c6973a27206ull},
    {"dense", 640, 360, 500, 50, 100, 500, 0, 0, 320, 180, 0xb01458ad11b83d7bull, 0xb01458ad11b83d7bull},
    {"dense_alpha", 640, 360, 500, 50, 100, 500, 50, 0, 300, 200, 0x8f0321773ecdd935ull,
     0x8f0321773ecdd935ull},
    {"dense_blur20", 640, 360, 500, 50, 100, 500, 0, 20, 320, 180, 0x5226b3808ed8ac2cull,
     0x67c2e24f47e8dfeaull},
    {"wide_alpha100", 400, 300, 300, 80, 60, 0, 100, 0, 200, 150, 0x9e3d34ad4d393736ull,
     0x9e3d34ad4d393736ull},
    {"tall_blur7", 400, 300, 300, 120, 60, 1000, 30, 7, 180, 170, 0x9c0741a5083a112dull,
     0x9c0741a5083a112dull},
    {"centre_far_left", 400, 300, 300, 100, 100, 500, 20, 0, -450, 150, 0xd2f7d7dfff72a950ull,
     0xd2f7d7dfff72a950ull},
    {"centre_far_below_blur12", 400, 300, 400, 150, 100, 600, 0, 12, 250, 550, 0xb73abb4f8431782eull,
     0x03f674d1ecbc10a7ull},
    {"centre_corner_blur1", 400, 300, 500, 50, 200, 300, 40, 1, 3, 297, 0x9ee7e508a1f6e163ull,
     0x3d1a4ae1d5db6744ull},
    {"thick_sparse", 300, 200, 10, 300, 10, 500, 0, 0, 150, 100, 0x83016841053b9558ull,
     0x83016841053b9558ull},
    {"full_hd_dense_blur20", 1920, 1080, 500, 50, 100, 500, 0, 20, 960, 540, 0xf967066ccdbbfc1aull,
     0xf4c2f51e51b50b99ull},
};

std::uint64_t HashOf(const std::vector<std::uint32_t>& pixels) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const std::uint32_t p : pixels) {
        for (int shift = 0; shift < 32; shift += 8) {
            hash = (hash ^ ((p >> shift) & 0xFFu)) * 1099511628211ull;
        }
    }
    return hash;
}

std::vector<std::uint32_t> Render(const PinnedFrame& f) {
    EffectSettings s;
    ApplyStartupDefaults(s);
    s.density = static_cast<std::uint16_t>(f.density);
    s.thickness = static_cast<std::uint16_t>(f.thickness);
    s.space = static_cast<std::uint16_t>(f.space);
    s.ratio = static_cast<std::uint16_t>(f.ratio);
    s.alphaJitter = f.alphaJitter;
    s.blurLevel = f.blur;
    s.centerX = f.centreX;
    s.centerY = f.centreY;
    s.red = 20, s.green = 160, s.blue = 230;
    RandomSource random(&PinnedTick);
    random.SetJitterRanges(s.densityJitter, s.thicknessJitter, s.spaceJitter, s.alphaJitter);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(f.width) * f.height, 0xDEADBEEFu);
    Surface surface{pixels.data(), pixels.size() * 4, f.width, f.height};
    std::uint8_t constantAlpha = 0;
    RenderFrame(kNewPatternSelector, s, random, surface, constantAlpha);
    return pixels;
}

TEST(FramePixels, MatchThePinnedHashes) {
    for (const PinnedFrame& f : kPinned) {
#if defined(QV_PLAIN_FILL)
        const std::uint64_t expected = f.plainHash;
#else
        const std::uint64_t expected = f.hash;
#endif
        const std::uint64_t actual = HashOf(Render(f));
        EXPECT_EQ(actual, expected) << f.name << ": 0x" << std::hex << actual;
        std::printf("%-26s 0x%016" PRIx64 "\n", f.name, actual);
    }
}

}  // namespace
}  // namespace qv
