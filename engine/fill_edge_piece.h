// Edge pieces: a triangle edge's piece within one pixel row, where it lies
// against the picture's columns, and its exact signed area in the cells it
// crosses. The reference rasteriser shares the area code.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace qv::fill {

// One edge of one triangle: x = xAtTop + (y - yTop) * slope for y in
// [yTop, yBottom], yTop < yBottom. weight is signed: the area to the edge's
// right counts +weight when walking down.
struct Edge {
    double yTop, yBottom;
    double xAtTop, slope;
    float weight;
    // The edge's piece within the rows [y0, y1]: its ends and weighted
    // height; false when it has none there.
    bool PieceIn(double y0, double y1, double& x0, double& x1, double& dy) const noexcept {
        const double top = y0 > yTop ? y0 : yTop, bottom = y1 < yBottom ? y1 : yBottom;
        if (!(bottom > top)) return false;
        x0 = xAtTop + (top - yTop) * slope;
        x1 = xAtTop + (bottom - yTop) * slope;
        dy = static_cast<double>(weight) * (bottom - top);
        return true;
    }
};

// The pieces of one row's cluster, as CellCoverage takes them: ends relative
// to the cluster's first cell, weighted heights, and the height of pieces
// left of the picture, which counts in every cell.
struct ClusterPieces {
    float* lo;
    float* hi;
    float* height;
    std::size_t count;
    float base;
};

// Sorts an edge's piece within the row [y0, y1] into `pieces`: left of the
// picture's columns [0, width] into the base, right of them nowhere, inside
// them as a piece. A piece across a side of the picture must be split by
// the caller: then it returns false with the piece in x0, x1, dy.
inline bool SortPiece(const Edge& edge, double y0, double y1, double width, double origin,
                      ClusterPieces& pieces, double& x0, double& x1, double& dy) noexcept {
    if (!edge.PieceIn(y0, y1, x0, x1, dy)) return true;
    const double xMin = std::min(x0, x1), xMax = std::max(x0, x1);
    if (xMax <= 0.0) {
        pieces.base += static_cast<float>(dy);
    } else if (xMin >= width) {
        // Right of the picture: it counts in no cell.
    } else if (xMin >= 0.0 && xMax <= width) {
        pieces.lo[pieces.count] = static_cast<float>(xMin - origin);
        pieces.hi[pieces.count] = static_cast<float>(xMax - origin);
        pieces.height[pieces.count] = static_cast<float>(dy);
        ++pieces.count;
    } else {
        return false;
    }
    return true;
}

// A piece of edge inside one row and within [0, width]: each cell it crosses
// gets the part of dy that lies to the cell's right, its neighbour the rest.
// [lo, hi) grows to hold the cells written, hi one past the last.
void AccumulatePiece(float* cover, double x0, double x1, double dy, std::int32_t& lo,
                     std::int32_t& hi) noexcept;

// One row piece of an edge that overlaps [0, width): split where it crosses
// the picture's sides, then clamp, so that area left of the picture lands
// whole in column 0 and area right of it beyond the last column.
void AccumulateClipped(float* cover, double x0, double x1, double dy, double width, std::int32_t& lo,
                       std::int32_t& hi) noexcept;

}  // namespace qv::fill
