// The blur's fade from its nesting. A blur line's passes share their two
// outer corners and put their tips one after another along one ray, so the
// passes that hold a point are those whose tips lie behind it: along the
// line they change only at the tips, which cut it into segments. Within a
// segment a cell's coverage is the sum over the passes present of
//     w_k (c1_k + c2_k - 1) = T1(u1) + T2(u2) - W,
// c_s_k the part of the cell inside pass k's edge on side s (exact wherever
// the pass's two edges do not meet in the cell, i.e. but at its tip). Every
// side edge is a whole line through its side's corner, so each side's sum
// T depends on one number: the cell's offset from the first pass's edge,
// measured at the segment's distance from the corner (the offsets of the
// other passes grow in proportion to that distance). T is tabulated once per
// segment and side, when a row first needs it, and a cell reads it with one
// interpolation per side instead of the exact areas of up to 24 edges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "triangle_sink.h"

namespace qv::fill {

// One side of a line: its corner, the unit direction of the first pass's
// edge from the corner, and that edge's unit normal into the line.
struct FadeSide {
    double cx, cy;
    double ex, ey;
    double nx, ny;
};

// A run of the line's axis with a fixed set of passes present.
struct FadeSegment {
    double start;            // on the line's axis; it ends where the next begins
    float from;              // the same from the line's origin
    std::uint32_t present;   // the first `present` passes hold it
    float weight;            // their summed weight
    std::uint32_t group;     // in FadeCells' groups
    std::uint32_t table[2];  // per side, its table in FadeCells' tables once built
};

// Consecutive segments tabulated at one distance from each corner, so on
// one grid: each segment's table is the one before plus the passes it adds.
struct FadeGroup {
    double reach[2];  // per side: the distance from the corner it is tabulated at
    float top[2];     // the highest position read
    float scale[2];   // table positions per pixel of offset, at a distance of 1
    float shift[2];   // the first entry's position
    std::uint32_t entries[2];
    std::uint32_t firstSegment, segments;
    bool built;
};

struct FadeLine {
    // What a row reads, in single precision from the line's origin (the
    // pixel of its first tip, ox, oy): each side's offset u off its first
    // edge and distance v along it, and their change per pixel in x and y;
    // the position on the axis likewise (0 at the origin).
    float u[2], v[2], ux[2], uy[2], vx[2], vy[2];
    float ax, ay, perAx;  // perAx: 1 / ax, 0 where ax is 0
    float end;            // where the last segment ends on the axis
    std::int32_t ox, oy;
    std::uint32_t firstSegment, segments;  // in FadeCells' segments
    std::int32_t lastSegment;              // where the line's last row began: the next begins near it
    bool usable = false;
    // What only building reads.
    FadeSide side[2];                 // corner 1, corner 2
    std::uint32_t firstPass, passes;  // in FadeCells' passes, in pass order
};

// One pass's edge on one side, through the side's corner: a point at
// distance v along the side's first edge and u off it lies v ne + u nn
// inside it; with the cell's shadow on its normal.
struct FadeEdge {
    double ne, nn;
    float a, b, scale;
};

struct FadePass {
    float weight;
    FadeEdge edge[2];
};

class FadeCells {
public:
    void Clear();
    // A nested line's `count` members with their weights (0 for those left
    // out), in the shapes' order; a line it cannot take is marked unusable
    // and filled exactly.
    void Add(const Triangle* const* members, std::size_t count, const float* weights);

    // The coverages of cells [first, last] of `row` of shape `shape` where
    // only its side families pass, added as logs to the sums acc unless
    // already opaque; false (nothing added) where the cells are not all in
    // front of both corners, inside the base edge and within the segments.
    bool Row(std::uint32_t shape, std::int32_t first, std::int32_t last, std::int32_t row,
             std::uint32_t* acc);

    // Asks for what Row will read of a line a few clusters ahead: the line,
    // and the tables of the segment its last row began in (false when they
    // are not built yet, or the line is not taken).
    void PrefetchLine(std::uint32_t shape) const noexcept;
    bool PrefetchTables(std::uint32_t shape) const noexcept;

    std::size_t size() const noexcept { return lines_.size(); }
    // Cells filled by Row since Clear, and lines it could take.
    std::size_t CellsFilled() const noexcept { return cellsFilled_; }
    std::size_t UsableLines() const noexcept { return usable_; }
    // Tables built since Clear (a group's side each).
    std::size_t TablesBuilt() const noexcept { return tablesBuilt_; }

private:
    bool AddPasses(FadeLine& line, const Triangle* const* members, std::size_t count, const float* weights);
    bool TipsAlongAxis(const FadeLine& line, const Triangle* const* members, std::size_t count,
                       const float* weights, double& x0, double& y0, double& ax, double& ay);
    bool AddSegments(FadeLine& line, const Triangle* const* members, std::size_t count, const float* weights);
    static void SetOrigin(FadeLine& line, const Triangle& first);
    void Build(const FadeLine& line, FadeGroup& group);
    void BuildSide(const FadeLine& line, FadeGroup& group, int side);
    // Where a row's first cell lies from each side: off its first edge (u)
    // and along it from the corner (v).
    struct RowStart {
        float u[2], v[2];
    };
    void Run(const FadeLine& line, std::uint32_t segment, const RowStart& start, std::int32_t from,
             std::int32_t to, std::uint32_t* cell);

    // Per line, what its next row will most likely read: the segment its
    // last row began in, its group and, once built, its tables; kept apart
    // and small, so that asking for them ahead costs no wait.
    struct Ahead {
        std::uint32_t segment, group, table[2];
    };
    static constexpr std::uint32_t kNotBuilt = 0xFFFFFFFFu;
    void NoteAhead(std::uint32_t shape, const FadeLine& line);
    std::vector<Ahead> ahead_;
    std::vector<FadeLine> lines_;
    std::vector<FadePass> passes_;
    std::vector<FadeSegment> segments_;
    std::vector<FadeGroup> groups_;
    std::vector<float> tables_;
    std::vector<double> tipAt_;  // AddSegments' scratch
    std::vector<float> sums_;    // Build's scratch
    std::size_t cellsFilled_ = 0, usable_ = 0, tablesBuilt_ = 0;
};

}  // namespace qv::fill
