// Edge cells: the exact coverage of the cells of a row where a line's edges
// pass (a cluster), added to the row's sums as logs, skipping cells already
// opaque. The general way collects the members' pieces and sums their areas
// (CellCoverage); its vector kernels do a plain line's one or two pieces
// and a blur line's members four at a time without leaving the registers
// (Plain and Grouped), and General takes what they cannot: a piece across a
// side of the picture, or every cluster when the vector code is off.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fill_line_shapes.h"
#include "fill_row_spans.h"

namespace qv::fill {

class EdgeCells {
public:
    // For a frame of the given width; vectorCode off takes the general way
    // for every cluster.
    void Prepare(const LineShapes& lines, std::int32_t width, bool vectorCode);

    // The clusters named by list[0, count) into the row's sums (readable
    // three cells past the picture). With skipOpaque, a
    // cluster whose cells the earlier ones made opaque is passed over.
    void Row(const Cluster* clusters, const std::uint32_t* list, std::size_t count, std::int32_t row,
             std::uint32_t* sums, bool skipOpaque);

private:
    void General(const Cluster& c, std::int32_t row, std::uint32_t* sums);
    bool Plain(const Cluster& c, std::int32_t row, std::uint32_t* sums);
    template <bool kInterior>
    bool Grouped(const Cluster& c, std::int32_t row, std::uint32_t* sums);

    const LineShapes* lines_ = nullptr;
    std::int32_t width_ = 0;
    bool vectorCode_ = true;
    std::vector<float> cover_;  // width + 2 cells of scratch for pieces across a side
    std::vector<float> pieceLo_, pieceHi_, pieceHeight_, cells_;
};

}  // namespace qv::fill
