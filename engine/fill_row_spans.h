// Row spans: what each line adds to one row. Between its edge cells a line
// covers a run of cells with one constant coverage, added to the row as two
// differences (a span); where its edges pass it leaves a cluster of cells
// for the edge cells to fill exactly. Three ways find them: the line's two
// sides in the rows it crosses whole (from single-precision bounds), a blur
// line's joined sides (the rows of its gradation where both sides share their
// cells), and the general way from the families' bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fill_line_shapes.h"

namespace qv::fill {

// Set in a cluster's mask beside the family bits when its shape is plain.
inline constexpr std::uint32_t kPlainShape = 1u << 3;

struct Cluster {  // cells [first, last] of one row where a shape's edges pass
    std::uint32_t shape;
    std::int32_t first, last;
    float base;          // the shape's coverage just left of `first`
    std::uint32_t mask;  // families whose members pass here (and kPlainShape)
};

// What a row needs of an active shape, kept together so that the sweep
// reads the active shapes one after another.
struct alignas(16) Active {
    // Left side low and high x, right side low and high x at sidesLo, and
    // their change per row, widened for single precision.
    float sideAt[4], sidePerRow[4];
    float insideCoverage;                  // between the sides
    std::uint32_t insideLog;               // its fixed-point log
    std::int32_t sidesLo, sidesHi, rowHi;  // its side rows, and where the sweep drops it
    std::uint32_t shape;
    std::uint16_t leftMask, rightMask;
};

// Where a blur shape's two sides may be joined into one cluster: the rows of
// its gradation (both sides' members begin one after another, so that neither
// side crosses every member's whole row) while the third family is away.
// There the two sides' bounds are the chords of the general way, kept in
// single precision like Active's.
struct JoinedSides {
    std::int32_t lo = 0, hi = 0;               // empty when lo >= hi
    float sideAt[4] = {}, sidePerRow[4] = {};  // as Active's, from lo
};

class RowSpans {
public:
    // The frame's shapes: their actives and joined sides, built once per frame.
    void Prepare(const LineShapes& lines, std::int32_t width, bool vectorCode, bool joinedSidesShortcut);
    // One per shape, in the shapes' order.
    const std::vector<Active>& Actives() const noexcept { return actives_; }

    // Every shape of `active` adds its spans in `row` to the row's sums and
    // writes its clusters from out on (at most three each); shapes whose last
    // row this is leave `active`. Returns the end of the clusters written.
    // joinedSidesRows counts the shape rows whose sides were joined into one
    // cluster. Rows may be done on
    // several threads at once, each with its own active shapes and buffers.
    Cluster* Row(std::vector<Active>& active, std::int32_t row, std::uint32_t* sums, Cluster* out,
                 std::size_t& joinedSidesRows) const;

private:
    Active MakeActive(std::uint32_t shapeIndex) const;
    JoinedSides MakeJoinedSides(std::uint32_t shapeIndex) const;
    Cluster* SidesRow(const Active& a, std::int32_t row, std::uint32_t* sums, Cluster* out) const;
    Cluster* JoinedSidesRow(const Active& a, const JoinedSides& joined, std::int32_t row, std::uint32_t* sums,
                            Cluster* out, std::size_t& joinedSidesRows) const;
    Cluster* GeneralRow(std::uint32_t shapeIndex, std::int32_t row, std::uint32_t* sums, Cluster* out) const;
    float RowHeight(const Family& f, std::int32_t row) const;

    const LineShapes* lines_ = nullptr;
    std::int32_t width_ = 0;
    bool vectorCode_ = true;
    std::vector<Active> actives_;           // one per shape
    std::vector<JoinedSides> joinedSides_;  // one per shape
};

}  // namespace qv::fill
