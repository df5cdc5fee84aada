// Our own anti-aliased triangle fill: exact signed-area coverage per pixel,
// accumulated one row at a time over only the cells the edges touch, then
// composited source-over in premultiplied alpha.
#pragma once

#include <cstdint>
#include <vector>

#include "surface.h"
#include "triangle_sink.h"

namespace qv {

class SurfaceRasteriser final : public TriangleSink {
public:
    explicit SurfaceRasteriser(Surface& surface);

    void BeginFrame(std::int32_t width, std::int32_t height) override;  // clears the surface
    void FillTriangle(const Triangle& t) override;

private:
    void AccumulateEdgeInRow(double ax, double ay, double bx, double by, int row);
    void CompositeRow(int row, std::uint32_t argb);

    Surface& surface_;
    std::vector<float> cover_;  // one row of signed area, width + 2 cells
    std::int32_t touchedMin_ = 0;
    std::int32_t touchedMax_ = -1;
};

// Source-over of one straight-alpha colour at fractional coverage onto a
// premultiplied pixel.
std::uint32_t CompositeOver(std::uint32_t dst, std::uint32_t argb, float coverage) noexcept;

}  // namespace qv
