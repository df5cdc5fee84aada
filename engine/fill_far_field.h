// The far field: far from the centre the insides of many lines overlap and
// every pixel is opaque whatever the details. This file finds the radius
// beyond which that holds in every direction (the saturated radius) from
// the lines' shrunk triangles, and the rows each line is still needed in.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "fill_line_shapes.h"

namespace qv::fill {

class FarField {
public:
    // The saturated radius around the centre (pixel-centre coordinates) for
    // a picture of width x height; infinity where there is none. It also
    // stays the radius KeepRows narrows to.
    double Find(const LineShapes& lines, double centreX, double centreY, double width, double height);
    // Off: every row of every line is swept.
    void Clear() noexcept;
    double Radius() const noexcept { return radius_; }

    // Narrows a shape's rows [lo, hi) to those where it comes within the
    // saturated radius (and a pixel's diagonal more) of the centre.
    void KeepRows(const LineShapes& lines, std::uint32_t shapeIndex, std::int32_t& lo,
                  std::int32_t& hi) const;

private:
    struct RingSide {
        double angle, offset;  // inward normal, and the centre's distance outside the side
    };
    struct RingArc {
        double reference;            // the line's outward direction
        std::uint32_t first, count;  // its sides in sides_
        std::uint32_t log;           // what its inside adds
    };
    void CollectArcs(const LineShapes& lines, double farthest);
    static std::uint32_t LogBelow(float weight) noexcept;
    // side1 and side2: the members whose side 1 and side 2 bound the arc.
    void AddArc(const LineShapes& lines, std::uint32_t side1, std::uint32_t side2, std::uint32_t log,
                double farthest);
    bool ArcOf(const LineShapes& lines, std::uint32_t side1, std::uint32_t side2, double farthest);
    void FindReach(double width, double height, double farthest);
    bool RingCovered(double radius);

    double centreX_ = 0.0, centreY_ = 0.0;
    double radius_ = 0.0;
    // The last frame's radius: frames in a row mostly share it, and two
    // checks around it then stand for the whole search.
    double radiusHint_ = 0.0;
    std::vector<RingSide> sides_;
    std::vector<RingArc> arcs_;           // the lines whose insides widen outward
    std::vector<std::uint32_t> binSums_;  // RingCovered's logs per angular bin, as differences
    std::vector<double> reach_;           // per angular bin: how far from the centre the picture reaches
    std::array<double, 4> reachKey_{};    // the centre and size reach_ was found for
};

}  // namespace qv::fill
