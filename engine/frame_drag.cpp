#include "frame_drag.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "frame_accumulator.h"

namespace qv {

namespace {

// The settings that decide the pixels: all but the centre and the overall
// opacity, which only becomes the window's constant alpha.
bool SamePixels(EffectSettings a, EffectSettings b) noexcept {
    a.centerX = b.centerX, a.centerY = b.centerY;
    a.alpha = b.alpha;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameSurface(const Surface& a, const Surface& b) noexcept {
    return a.bits == b.bits && a.byteSize == b.byteSize && a.width == b.width && a.height == b.height;
}

// Pixel (x, y) takes what (x - dx, y - dy) held; rows are taken in the
// order that reads each one before it is written over.
void MovePixels(const Surface& s, std::int32_t dx, std::int32_t dy) {
    const std::int32_t kept = s.width - std::abs(dx);
    if (kept <= 0 || std::abs(dy) >= s.height) return;
    const std::size_t width = static_cast<std::size_t>(s.width);
    const std::size_t to = static_cast<std::size_t>(dx > 0 ? dx : 0);
    const std::size_t from = static_cast<std::size_t>(dx < 0 ? -dx : 0);
    const std::size_t bytes = static_cast<std::size_t>(kept) * 4u;
    auto move = [&](std::int32_t row) {
        std::uint32_t* dst = s.bits + static_cast<std::size_t>(row) * width;
        std::memmove(dst + to,
                     dst - static_cast<std::ptrdiff_t>(dy) * static_cast<std::ptrdiff_t>(width) + from,
                     bytes);
    };
    if (dy > 0) {
        for (std::int32_t row = s.height - 1; row >= dy; --row) move(row);
    } else {
        for (std::int32_t row = 0; row < s.height + dy; ++row) move(row);
    }
}

struct Move {
    Surface surface;
    std::int32_t dx, dy;
    double seconds;  // it took
};

}  // namespace

std::int32_t LargestDragMove(std::int32_t extent, const DragOptions& options) noexcept {
    if (extent <= 0 || !(options.largestShare > 0.0)) return 0;
    return static_cast<std::int32_t>(std::floor(std::min(1.0, options.largestShare) * extent));
}

DragStats DragFrame(const EffectSettings& settings, RandomSource& random, Surface& surface,
                    std::uint8_t& constantAlpha, FrameScratch& scratch, const DragOptions& options) {
    DragStats stats;
    const FrameScratch::Shown& shown = scratch.shown_;
    const std::int64_t dx = static_cast<std::int64_t>(settings.centerX) - shown.settings.centerX;
    const std::int64_t dy = static_cast<std::int64_t>(settings.centerY) - shown.settings.centerY;
    if (!shown.valid || !SameSurface(shown.surface, surface) || !SamePixels(shown.settings, settings) ||
        shown.seed != random.storedSeed || shown.jitterPercent != random.jitterPercent ||
        std::abs(dx) > LargestDragMove(surface.width, options) ||
        std::abs(dy) > LargestDragMove(surface.height, options)) {
        RenderFrame(kReplaySelector, settings, random, surface, constantAlpha, scratch);
        stats.wholeFrame = true;
        return stats;
    }
    const auto moveX = static_cast<std::int32_t>(dx), moveY = static_cast<std::int32_t>(dy);
    if (moveX == 0 && moveY == 0) {  // the picture stands as it is
        random.Replay();
        constantAlpha = DeriveFrameParams(settings).constantAlpha;
        scratch.Remember(settings, random, surface);
        return stats;
    }
    const std::int32_t width = surface.width, height = surface.height;

    // The rows that came into view across the whole width, then the columns
    // of the rows between.
    const std::int32_t restTop = moveY > 0 ? moveY : 0, restBottom = moveY < 0 ? height + moveY : height;
    const fill::Window windows[2] = {
        moveY > 0 ? fill::Window{0, 0, width, moveY} : fill::Window{0, height + moveY, width, height},
        moveX > 0 ? fill::Window{0, restTop, moveX, restBottom}
                  : fill::Window{width + moveX, restTop, width, restBottom}};
    stats.rows = std::abs(moveY);
    stats.columns = std::abs(moveX);
    FrameAccumulator& accumulator = scratch.AccumulatorFor(surface);
    Move move{surface, moveX, moveY, 0.0};
    accumulator.RunBeforeFilling(
        [](void* context) {
            Move& m = *static_cast<Move*>(context);
            const auto start = std::chrono::steady_clock::now();
            MovePixels(m.surface, m.dx, m.dy);
            m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        },
        &move);
    accumulator.FillOnly(windows);
    RenderFrame(kReplaySelector, settings, random, width, height, constantAlpha, accumulator,
                scratch.directions_);
    stats.moveSeconds = move.seconds;
    scratch.Remember(settings, random, surface);
    return stats;
}

}  // namespace qv
