// A frame of a moving centre made from the frame before. Every line is
// placed relative to the centre, so moving the centre by (dx, dy) moves the
// whole picture by (dx, dy) up to rounding: the previous picture is moved in
// place and only the strips that come into view are drawn, as windows of the
// whole frame at the new centre. The exact frame (RenderFrame) follows when
// the centre rests.
#pragma once

#include <cstdint>

#include "effect_settings.h"
#include "frame_composer.h"
#include "random_source.h"
#include "surface.h"

namespace qv {

struct DragOptions {
    // A move by more than this share of the picture's width or height draws
    // a whole frame: the strips would cost nearly as much.
    double largestShare = 0.25;
};

// What a drag frame did.
struct DragStats {
    // A whole frame was drawn: no frame to build on, something besides the
    // centre changed (settings, pattern, surface), or the move was too large.
    bool wholeFrame = false;
    // Rows drawn across the whole width, and columns drawn in the other rows.
    std::int32_t rows = 0, columns = 0;
    // Time spent moving the previous picture in place.
    double moveSeconds = 0.0;
};

// The largest move along a side of `extent` pixels that a drag builds on
// the frame before.
std::int32_t LargestDragMove(std::int32_t extent, const DragOptions& options = {}) noexcept;

// The frame for `settings` with the stored pattern (as RenderFrame with the
// replay selector), made from the last frame that `scratch` drew onto this
// surface when only the centre has moved since, and by at most
// LargestDragMove on each axis; a whole frame otherwise. The pixels agree
// with RenderFrame's up to rounding (a few 255ths at the strips' seams).
DragStats DragFrame(const EffectSettings& settings, RandomSource& random, Surface& surface,
                    std::uint8_t& constantAlpha, FrameScratch& scratch, const DragOptions& options = {});

}  // namespace qv
