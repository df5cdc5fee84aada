#include "rasteriser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fill_edge_piece.h"

namespace qv {

namespace {
// An integer vertex sits at the centre of its pixel.
constexpr double kPixelCentre = 0.5;
}  // namespace

std::uint32_t CompositeOver(std::uint32_t dst, std::uint32_t argb, float coverage) noexcept {
    const float sa = static_cast<float>(argb >> 24) / 255.0f * coverage;
    const float keep = 1.0f - sa;
    auto channel = [&](int shift, float src) {
        const float d = static_cast<float>((dst >> shift) & 0xFFu);
        const float v = src * sa + d * keep + 0.5f;
        const std::uint32_t out = v >= 255.0f ? 255u : static_cast<std::uint32_t>(v);
        return out << shift;
    };
    return channel(24, 255.0f) | channel(16, static_cast<float>((argb >> 16) & 0xFFu)) |
           channel(8, static_cast<float>((argb >> 8) & 0xFFu)) | channel(0, static_cast<float>(argb & 0xFFu));
}

SurfaceRasteriser::SurfaceRasteriser(Surface& surface) : surface_(surface) {
    if (surface_.Drawable()) cover_.assign(static_cast<std::size_t>(surface_.width) + 2, 0.0f);
}

void SurfaceRasteriser::BeginFrame(std::int32_t, std::int32_t) {
    if (surface_.bits != nullptr) std::memset(surface_.bits, 0, surface_.byteSize);
}

void SurfaceRasteriser::FillTriangle(const Triangle& t) {
    if (cover_.empty() || (t.argb >> 24) == 0) return;
    const double x[3] = {t.tipX + kPixelCentre, t.c1X + kPixelCentre, t.c2X + kPixelCentre};
    const double y[3] = {t.tipY + kPixelCentre, t.c1Y + kPixelCentre, t.c2Y + kPixelCentre};
    const double twiceArea = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    if (twiceArea == 0.0) return;

    const double top = std::min({y[0], y[1], y[2]});
    const double bottom = std::max({y[0], y[1], y[2]});
    const int firstRow = static_cast<int>(std::max(0.0, std::floor(top)));
    const int lastRow = static_cast<int>(std::min(static_cast<double>(surface_.height - 1), std::ceil(bottom) - 1));
    for (int row = firstRow; row <= lastRow; ++row) {
        touchedMin_ = surface_.width + 1;
        touchedMax_ = -1;
        for (int e = 0; e < 3; ++e) {
            const int n = (e + 1) % 3;
            AccumulateEdgeInRow(x[e], y[e], x[n], y[n], row);
        }
        CompositeRow(row, t.argb);
    }
}

void SurfaceRasteriser::AccumulateEdgeInRow(double ax, double ay, double bx, double by, int row) {
    if (ay == by) return;
    const double sign = ay < by ? 1.0 : -1.0;
    const double yTop = std::max(static_cast<double>(row), std::min(ay, by));
    const double yBottom = std::min(static_cast<double>(row) + 1.0, std::max(ay, by));
    if (!(yBottom > yTop)) return;
    const double slope = (bx - ax) / (by - ay);
    const double x0 = ax + (yTop - ay) * slope;
    const double x1 = ax + (yBottom - ay) * slope;
    const double dy = sign * (yBottom - yTop);

    // Area left of the picture lands whole in column 0, area right of it
    // beyond the last column, where no pixel reads it.
    fill::AccumulateClipped(cover_.data(), x0, x1, dy, surface_.width, touchedMin_, touchedMax_);
}

void SurfaceRasteriser::CompositeRow(int row, std::uint32_t argb) {
    if (touchedMax_ < touchedMin_) return;
    float* cover = cover_.data();
    std::uint32_t* pixels = surface_.bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(surface_.width);
    const int lastPixel = surface_.width - 1;
    float sum = 0.0f;
    for (int c = touchedMin_; c <= touchedMax_; ++c) {
        sum += cover[c];
        cover[c] = 0.0f;
        if (c > lastPixel) continue;
        const float coverage = std::min(1.0f, std::fabs(sum));
        if (coverage > 1.0f / 512.0f) pixels[c] = CompositeOver(pixels[c], argb, coverage);
    }
}

}  // namespace qv
