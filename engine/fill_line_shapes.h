// Line shapes: each line of the frame as the fill sweeps it. A line's
// triangles (one per pass) become one weighted shape with three families of
// edges; this file builds the families, their members (also in four-lane
// groups for the vector edge cells), the row bounds that hold them, the two
// sides of the rows the line crosses whole, and the outline the far field
// reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fill_edge_piece.h"
#include "triangle_sink.h"

namespace qv::fill {

// An integer vertex sits at the centre of its pixel, as in SurfaceRasteriser.
inline constexpr double kPixelCentre = 0.5;

// Row numbers are kept within a few rows of the picture: far vertices would
// overflow an int and add nothing.
inline constexpr double kRowMargin = 4.0;

// Rows [lo, hi) less the rows [cutLo, cutHi) where they meet, keeping the
// longer of the two parts left.
inline void CutAway(std::int32_t cutLo, std::int32_t cutHi, std::int32_t& lo, std::int32_t& hi) noexcept {
    if (cutLo < hi && cutHi > lo) {
        if (cutLo - lo >= hi - cutHi) {
            hi = cutLo;
        } else {
            lo = cutHi;
        }
    }
}

// x as a linear function of the row: start + r * perRow, r counted from the
// first row of the run it bounds.
struct RowLine {
    double start = 0, perRow = 0;
    double At(double r) const noexcept { return start + r * perRow; }
};

// The edges of one line in one role (tip to corner 1, corner 1 to corner 2,
// corner 2 to tip), one member per pass.
struct Family {
    std::uint32_t begin = 0, end = 0;         // its members in LineShapes::edges
    std::int32_t activeLo = 0, activeHi = 0;  // rows any member touches
    std::int32_t fastLo = 0, fastHi = 0;      // rows every member crosses whole
    // In the fast rows the members lie within [fastLow, fastHigh] (r from fastLo).
    RowLine fastLow, fastHigh;
    // In any row they lie within [anyLow, anyHigh] (r from activeLo).
    RowLine anyLow, anyHigh;
    float height = 0;                              // signed weighted height of a whole row
    std::uint32_t groupsBegin = 0, groupsEnd = 0;  // its members in LineShapes::groups, padded to fours
    float yRef = 0;                                // the row the grouped members' x is kept at
    bool Empty() const noexcept { return begin == end; }
};

// Member i: x + (y - yRef) * slope over [yTop, yBottom], with its weight.
// Kept in groups of four, each group's five fields of four lanes side by
// side, so that a family's members are a few cache lines in a row.
struct MemberGroups {
    enum Field : std::size_t { kX, kSlope, kTop, kBottom, kWeight, kFields };
    static constexpr std::size_t kLanes = 4;
    static constexpr std::size_t kGroupFloats = kFields * kLanes;
    std::vector<float> data;
    std::size_t count = 0;
    void Push(float x, float slope, float top, float bottom, float weight) {
        if (count % kLanes == 0) data.resize(data.size() + kGroupFloats, 0.0f);
        float* g = data.data() + count / kLanes * kGroupFloats + count % kLanes;
        g[kX * kLanes] = x, g[kSlope * kLanes] = slope, g[kTop * kLanes] = top, g[kBottom * kLanes] = bottom;
        g[kWeight * kLanes] = weight;
        ++count;
    }
    // The group holding members [m, m + 4), m a multiple of four.
    const float* Group(std::size_t m) const { return data.data() + m / kLanes * kGroupFloats; }
    float At(std::size_t m, Field f) const { return Group(m)[f * kLanes + m % kLanes]; }
    void Clear() { data.clear(), count = 0; }
    std::size_t size() const { return count; }
};

struct Shape {
    Family family[3];
    std::int32_t rowLo, rowHi;  // its rows within the picture
    // Rows [sidesLo, sidesHi) where exactly two families are active, each
    // crossing the whole row: the line's left and right sides.
    std::int32_t sidesLo, sidesHi;
    std::uint32_t left, right;  // their family indices
    std::uint32_t members;      // triangles per family
};

// A line's member triangles (pixel-centre coordinates) for the far field.
struct Corners {
    double x[3], y[3];
};
struct Outline {
    std::uint32_t first, count;  // into LineShapes::corners and LineShapes::upTo
    float weight;                // the members' summed weight
    // The members share their corners 1 and 2 (the blur's passes, whose
    // tips move out between them), so each side's edges are lines through
    // one corner.
    bool sharedCorners;
};

// Every shape of the frame; indices agree across shapes, plainEdges (three
// per shape) and outlines.
struct LineShapes {
    std::vector<Shape> shapes;
    std::vector<Edge> edges;
    // A plain (one-member) shape's edges by family, an absent one empty, so
    // that its edge cells read one small record.
    std::vector<Edge> plainEdges;
    MemberGroups groups;  // every family's members, by Family::groupsBegin
    std::vector<Outline> outlines;
    std::vector<Corners> corners;
    std::vector<float> upTo;  // per member: the summed weight of its outline's members up to it

    void Clear();
    // One line from `count` triangles with their weights (those of weight 0
    // are left out), for a picture `height` rows tall.
    void Add(const Triangle* const* members, std::size_t count, const float* weights, std::int32_t height);

private:
    // Family e's edges and bounds; false when it has no edge.
    bool AddFamily(Family& f, int e, const Triangle* const* members, std::size_t count, const float* weights,
                   std::int32_t height);
    void GroupMembers(Family& f, std::int32_t height);
    void FindSides(Shape& shape) const;
    void AddOutline(const Triangle* const* members, std::size_t count, const float* weights);
};

}  // namespace qv::fill
