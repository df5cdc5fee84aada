// Windows of the picture: a frame may be filled in a few rectangles only,
// each a window of the whole frame (the same lines, the same fill, clipped).
// This file finds the rows in which a line can reach a window's columns, so
// that a narrow window sweeps only the lines that cross it.
#pragma once

#include <cstdint>

#include "fill_line_shapes.h"

namespace qv::fill {

// Columns [left, right) of rows [top, bottom).
struct Window {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const noexcept { return left >= right || top >= bottom; }
};

// Narrows a shape's rows [lo, hi) to those in which one of its triangles
// comes within a cell of the columns [left, right); none when it misses them.
void KeepWindowRows(const LineShapes& lines, std::uint32_t shapeIndex, std::int32_t left, std::int32_t right,
                    std::int32_t& lo, std::int32_t& hi);

}  // namespace qv::fill
