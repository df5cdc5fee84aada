// The blur's fade from its nesting: a blur line's passes share their two
// outer corners and put their tips further out along the line's axis, so a
// pass is the part of the plane inside its two side edges and the shared
// base, and every side edge is a whole line through its side's corner. Away
// from the corners and the base, a cell's part inside one pass's side edge
// depends on the cell centre's distance from it alone (the integral of the
// cell's shadow on the edge's normal), and the pass's part is what both its
// sides leave inside: exact but where the pass's tip lies in the cell. The
// cells of a row are then a few multiply-adds per pass, four passes at a
// time, with no edge pieces to clip, sort or sum; where one side lies wholly
// inside, only the other is evaluated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "triangle_sink.h"

namespace qv::fill {

// A line's passes on one side, four to a group, each field's four lanes side
// by side (padded passes have weight 0).
struct FadeGroups {
    enum Field : std::size_t { kDx, kA, kB, kScale, kWeight, kFields };
    static constexpr std::size_t kLanes = 4;
    static constexpr std::size_t kGroupFloats = kFields * kLanes;
};

// A row's passes that need evaluating, four lanes to a group: each lane's
// first distance, then its FadeGroups fields. A pair (both sides of one
// pass) takes a group of each side, one after the other.
struct FadeLanes {
    static constexpr std::size_t kGroupFloats = FadeGroups::kLanes + FadeGroups::kGroupFloats;
    std::vector<float> data;
    std::size_t count = 0;
    void Clear() noexcept { count = 0; }
    std::size_t size() const noexcept { return count; }
    // A pass from one lane g of a FadeGroups group, at distance d.
    void Push(float d, const float* g, float weight) { Put(Lane(1), d, g, weight), ++count; }
    void PushPair(float d0, const float* g0, float d1, const float* g1, float weight) {
        float* at = Lane(2);
        Put(at, d0, g0, weight);
        Put(at + kGroupFloats, d1, g1, weight);
        ++count;
    }
    // The last group's other lanes: weight 0, far inside.
    void Pad() {
        for (std::size_t lane = count % FadeGroups::kLanes; lane != 0 && lane < FadeGroups::kLanes; ++lane) {
            float* base = data.data() + (count / FadeGroups::kLanes) * kGroupFloats * pairs_ + lane;
            for (std::size_t side = 0; side < pairs_; ++side) Blank(base + side * kGroupFloats);
        }
    }

private:
    float* Lane(std::size_t pairs) {
        pairs_ = pairs;
        const std::size_t need = (count / FadeGroups::kLanes + 1) * kGroupFloats * pairs;
        if (data.size() < need) data.resize(need);
        return data.data() + count / FadeGroups::kLanes * kGroupFloats * pairs + count % FadeGroups::kLanes;
    }
    static void Put(float* at, float d, const float* g, float weight) {
        at[0] = d;
        for (std::size_t f = 0; f < FadeGroups::kFields; ++f) at[4 + f * 4] = g[f * 4];
        at[4 + FadeGroups::kWeight * 4] = weight;
    }
    static void Blank(float* at) {
        at[0] = 1e6f;
        at[4 + FadeGroups::kDx * 4] = 0.0f;
        at[4 + FadeGroups::kA * 4] = 0.5f;
        at[4 + FadeGroups::kB * 4] = 0.25f;
        at[4 + FadeGroups::kScale * 4] = 1.0f;
        at[4 + FadeGroups::kWeight * 4] = 0.0f;
    }
    std::size_t pairs_ = 1;
};

struct FadeSide {
    double cx, cy;        // the shared corner
    double ax, ay;        // unit axis from the corner towards the first tip
    std::uint32_t first;  // its passes in FadeCells' lists, a multiple of four
};

struct FadeShape {
    bool usable = false;
    std::uint32_t passes = 0;  // per side, padded to four
    FadeSide side[2];          // corner 1 (family 0), corner 2 (family 2)
    double bx, by;             // a point of the shared base edge
    double bnx, bny;           // its unit normal towards the tips
    double baseReach;          // a cell's shadow half-width on it
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
    // front of both corners and inside the base edge.
    bool Row(std::uint32_t shape, std::int32_t first, std::int32_t last, std::int32_t row,
             std::uint32_t* acc);

    std::size_t size() const noexcept { return shapes_.size(); }
    // Cells filled by Row since Clear, and lines it could take.
    std::size_t CellsFilled() const noexcept { return cellsFilled_; }
    std::size_t UsableLines() const noexcept { return usable_; }

private:
    bool AddSide(FadeSide& side, double cx, double cy, double ox, double oy, const Triangle* const* members,
                 std::size_t count, const float* weights);
    // Each pass's distance from the centre of cell (px, py) into d.
    void Distances(const FadeSide& side, std::uint32_t passes, double px, double py, float* d) const;
    // Sorts the row's passes into one_ and both_; returns the weight of
    // those wholly inside.
    float Sort(const FadeShape& f, std::int32_t cells);
    void Fill(float whole, std::int32_t cells, std::uint32_t* cell) const;

    std::vector<FadeShape> shapes_;
    std::vector<float> groups_;   // FadeGroups, by FadeSide::first
    std::vector<double> lineOf_;  // per pass: nx, ny and the offset of its edge's line
    std::vector<float> d0_, d1_;  // a row's distances
    FadeLanes one_, both_;        // a row's passes that need evaluating
    std::size_t cellsFilled_ = 0, usable_ = 0;
};

}  // namespace qv::fill
