#include "previous_frame_accumulator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace qv::previous {

namespace {

// An integer vertex sits at the centre of its pixel, as in SurfaceRasteriser.
constexpr double kPixelCentre = 0.5;

// Coverage is looked up in steps of 1/kCoverageSteps: at most 6e-5 of alpha.
constexpr int kCoverageSteps = 8192;

// -ln(1 - a) is capped here; one fully covering opaque line then already
// saturates the pixel (see kSaturated).
constexpr double kMaxLogPerLine = 8.0;

// The smallest sum that converts to alpha 255: 1 - exp(-L) >= 254.5 / 255.
const std::uint32_t kSaturated =
    static_cast<std::uint32_t>(std::ceil(std::log(510.0) * FrameAccumulator::kLogScale));

// Coverage (times kCoverageSteps) to fixed-point -ln(1 - coverage).
const std::array<std::uint32_t, kCoverageSteps + 1>& LogTable() {
    static const auto table = [] {
        std::array<std::uint32_t, kCoverageSteps + 1> t{};
        for (int i = 0; i <= kCoverageSteps; ++i) {
            const double a = static_cast<double>(i) / kCoverageSteps;
            const double l = a >= 1.0 ? kMaxLogPerLine : std::min(kMaxLogPerLine, -std::log1p(-a));
            t[static_cast<std::size_t>(i)] =
                static_cast<std::uint32_t>(l * FrameAccumulator::kLogScale + 0.5);
        }
        return t;
    }();
    return table;
}

// Fixed-point sum to the 8-bit alpha of 1 - exp(-sum), for sums below kSaturated.
const std::vector<std::uint8_t>& AlphaTable() {
    static const auto table = [] {
        std::vector<std::uint8_t> t(kSaturated);
        for (std::uint32_t l = 0; l < kSaturated; ++l) {
            const double a = -std::expm1(-static_cast<double>(l) / FrameAccumulator::kLogScale);
            t[l] = static_cast<std::uint8_t>(std::min(255.0, a * 255.0 + 0.5));
        }
        return t;
    }();
    return table;
}

}  // namespace

FrameAccumulator::FrameAccumulator(Surface& surface) : surface_(surface) {}

void FrameAccumulator::BeginFrame(std::int32_t, std::int32_t) {
    if (surface_.bits != nullptr) std::memset(surface_.bits, 0, surface_.byteSize);
    drawable_ = surface_.Drawable();
    any_ = false;
    passes_.clear();
    if (drawable_) cover_.assign(static_cast<std::size_t>(surface_.width) + 2, 0.0f);
}

void FrameAccumulator::BeginPass(const PassInfo& pass) {
    passes_.emplace_back();
    passes_.back().reserve(pass.lineCount);
}

void FrameAccumulator::FillTriangle(const Triangle& t) {
    if (!drawable_) return;
    if (passes_.empty()) passes_.emplace_back();
    passes_.back().push_back(t);
    // The frame's lines share one colour; the last one seen stands for all.
    rgb_ = t.argb & 0xFFFFFFu;
    any_ = true;
}

void FrameAccumulator::EndFrame() {
    if (!drawable_ || !any_) return;
    // Lines that are drawn once per pass with the same count are the blur's
    // nested lines; anything else is rasterised triangle by triangle.
    bool nested = passes_.size() > 1;
    for (const auto& p : passes_) nested = nested && p.size() == passes_.front().size();
    const std::size_t lines = nested ? passes_.front().size() : 0;

    // First every line's inside, then, knowing where the picture is already
    // opaque, the edges that can still change a pixel.
    for (Phase phase : {Phase::kInside, Phase::kEdges}) {
        if (nested) {
            for (std::size_t i = 0; i < lines; ++i) {
                BuildLine(i);
                RasteriseLine(phase);
            }
        } else {
            for (const auto& p : passes_) {
                for (const Triangle& t : p) {
                    tris_.clear();
                    edges_.clear();
                    AddTriangle(t, static_cast<float>(t.argb >> 24) / 255.0f);
                    full_ = static_cast<float>(t.argb >> 24) / 255.0f;
                    RasteriseLine(phase);
                }
            }
        }
        if (phase == Phase::kInside) SumRows();
    }
    Resolve();
}

void FrameAccumulator::BuildLine(std::size_t line) {
    tris_.clear();
    edges_.clear();
    float transmittance = 1.0f;
    for (const auto& p : passes_) {
        const Triangle& t = p[line];
        const float a = static_cast<float>(t.argb >> 24) / 255.0f;
        AddTriangle(t, transmittance * a);
        transmittance *= 1.0f - a;
    }
    full_ = 1.0f - transmittance;
}

void FrameAccumulator::AddTriangle(const Triangle& t, float weight) {
    if (weight <= 0.0f) return;
    const double x[3] = {t.tipX + kPixelCentre, t.c1X + kPixelCentre, t.c2X + kPixelCentre};
    const double y[3] = {t.tipY + kPixelCentre, t.c1Y + kPixelCentre, t.c2Y + kPixelCentre};
    const double twiceArea = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    if (twiceArea == 0.0) return;
    // Walking down an edge, the area to its right counts +1; orient every
    // triangle so that its inside sums to +weight.
    const float oriented = twiceArea > 0.0 ? -weight : weight;
    for (int e = 0; e < 3; ++e) {
        const int n = (e + 1) % 3;
        if (y[e] == y[n]) continue;
        const bool down = y[e] < y[n];
        const double ax = down ? x[e] : x[n], ay = down ? y[e] : y[n];
        const double bx = down ? x[n] : x[e], by = down ? y[n] : y[e];
        edges_.push_back(Edge{ay, by, ax, (bx - ax) / (by - ay), down ? oriented : -oriented});
    }
    int order[3] = {0, 1, 2};
    std::sort(order, order + 3, [&y](int a, int b) { return y[a] < y[b]; });
    Tri tri{};
    tri.xa = x[order[0]], tri.ya = y[order[0]];
    tri.xb = x[order[1]], tri.yb = y[order[1]];
    tri.xc = x[order[2]], tri.yc = y[order[2]];
    tri.sAC = (tri.xc - tri.xa) / (tri.yc - tri.ya);
    tri.sAB = tri.yb > tri.ya ? (tri.xb - tri.xa) / (tri.yb - tri.ya) : 0.0;
    tri.sBC = tri.yc > tri.yb ? (tri.xc - tri.xb) / (tri.yc - tri.yb) : 0.0;
    tris_.push_back(tri);
}

// The triangle's horizontal section at y, which lies within [ya, yc].
void FrameAccumulator::Section(const Tri& t, double y, double& lo, double& hi) noexcept {
    const double xLong = t.xa + (y - t.ya) * t.sAC;
    double xShort;
    if (y <= t.yb) {
        xShort = t.yb > t.ya ? t.xa + (y - t.ya) * t.sAB : t.xb;
    } else {
        xShort = t.xb + (y - t.yb) * t.sBC;
    }
    lo = std::min(xLong, xShort);
    hi = std::max(xLong, xShort);
}

void FrameAccumulator::RasteriseLine(Phase phase) {
    if (tris_.empty()) return;
    double top = tris_.front().ya, bottom = tris_.front().yc;
    for (const Tri& t : tris_) {
        top = std::min(top, t.ya);
        bottom = std::max(bottom, t.yc);
    }
    const int firstRow = static_cast<int>(std::max(0.0, std::floor(top)));
    const int lastRow =
        static_cast<int>(std::min(static_cast<double>(surface_.height - 1), std::ceil(bottom) - 1));
    const double width = surface_.width;
    const std::uint32_t full = LogTable()[static_cast<std::size_t>(std::min(1.0f, full_) * kCoverageSteps + 0.5f)];
    for (int row = firstRow; row <= lastRow; ++row) {
        const double y0 = row, y1 = row + 1.0;
        // Cells inside every triangle of the line, and the cells any of them touches.
        double insideLo = -1e300, insideHi = 1e300;
        double extentLo = 1e300, extentHi = -1e300;
        for (const Tri& t : tris_) {
            if (t.yc < y0 || t.ya > y1) {
                insideHi = -1e300;  // a triangle that misses the row leaves no common inside
                continue;
            }
            double lo0, hi0, lo1, hi1;
            Section(t, std::max(y0, t.ya), lo0, hi0);
            Section(t, std::min(y1, t.yc), lo1, hi1);
            if (t.ya <= y0 && t.yc >= y1) {
                insideLo = std::max(insideLo, std::max(lo0, lo1));
                insideHi = std::min(insideHi, std::min(hi0, hi1));
            } else {
                insideHi = -1e300;
            }
            extentLo = std::min(extentLo, std::min(lo0, lo1));
            extentHi = std::max(extentHi, std::max(hi0, hi1));
            if (t.yb > y0 && t.yb < y1) {
                extentLo = std::min(extentLo, t.xb);
                extentHi = std::max(extentHi, t.xb);
            }
        }
        // Inside cells as [insideFirst, insideEnd), clipped to the picture;
        // a line that starts left of it is inside from column 0.
        int insideFirst = 0, insideEnd = 0;
        if (insideHi - insideLo >= 1.0 && insideHi > 0.0 && insideLo < width) {
            insideFirst = static_cast<int>(std::max(0.0, std::ceil(insideLo)));
            insideEnd = static_cast<int>(std::min(width, std::floor(insideHi)));
            if (insideEnd <= insideFirst) insideFirst = insideEnd = 0;
        }
        std::uint32_t* acc = surface_.bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(surface_.width);
        if (phase == Phase::kInside) {
            if (insideEnd > insideFirst) {
                acc[insideFirst] += full;
                if (insideEnd < surface_.width) acc[insideEnd] -= full;
            }
            continue;
        }
        if (!(extentHi > 0.0) || !(extentLo < width)) continue;
        const int first = static_cast<int>(std::max(0.0, std::floor(extentLo)));
        const int last = static_cast<int>(std::min(width - 1.0, std::floor(extentHi)));
        bool open = false;
        for (int c = first; c <= last && !open; ++c) {
            if (c == insideFirst && insideEnd > insideFirst) c = insideEnd;
            if (c <= last && acc[c] < kSaturated) open = true;
        }
        if (!open) continue;
        ranges_.clear();
        for (const Edge& e : edges_) {
            if (e.yTop < y1 && e.yBottom > y0) AccumulateEdgeInRow(e, row);
        }
        WriteRow(acc, insideFirst, insideEnd);
    }
}

void FrameAccumulator::AccumulateEdgeInRow(const Edge& e, int row) {
    const double yTop = std::max(static_cast<double>(row), e.yTop);
    const double yBottom = std::min(static_cast<double>(row) + 1.0, e.yBottom);
    if (!(yBottom > yTop)) return;
    const double x0 = e.xAtTop + (yTop - e.yTop) * e.slope;
    const double x1 = e.xAtTop + (yBottom - e.yTop) * e.slope;
    const double dy = static_cast<double>(e.weight) * (yBottom - yTop);
    const double width = surface_.width;
    if (x0 >= 0.0 && x1 >= 0.0 && x0 <= width && x1 <= width) {
        AccumulatePiece(x0, x1, dy);
        return;
    }
    // Split where the piece crosses the left and right borders, then clamp:
    // area left of the picture lands whole in column 0, area right of it
    // beyond the last column, where no pixel reads it.
    double cuts[4] = {0.0, 1.0, 1.0, 1.0};
    int cutCount = 1;
    if (x0 != x1) {
        for (double border : {0.0, width}) {
            const double t = (border - x0) / (x1 - x0);
            if (t > 0.0 && t < 1.0) cuts[cutCount++] = t;
        }
    }
    if (cutCount == 3 && cuts[2] < cuts[1]) std::swap(cuts[1], cuts[2]);
    cuts[cutCount] = 1.0;
    for (int i = 0; i < cutCount; ++i) {
        const double t0 = cuts[i];
        const double t1 = cuts[i + 1];
        if (!(t1 > t0)) continue;
        const double px0 = std::clamp(x0 + (x1 - x0) * t0, 0.0, width);
        const double px1 = std::clamp(x0 + (x1 - x0) * t1, 0.0, width);
        AccumulatePiece(px0, px1, dy * (t1 - t0));
    }
}

// A piece of edge inside one row and within [0, width]: each cell it crosses
// gets the part of dy that lies to the cell's right, its neighbour the rest.
void FrameAccumulator::AccumulatePiece(double x0, double x1, double dy) {
    if (x0 > x1) std::swap(x0, x1);
    const int c0 = static_cast<int>(x0);
    const int c1 = static_cast<int>(x1);
    ranges_.push_back(Range{c0, c1 + 1});
    float* cover = cover_.data();
    auto add = [cover](int cell, double part, double midFraction) {
        cover[cell] += static_cast<float>(part * (1.0 - midFraction));
        cover[cell + 1] += static_cast<float>(part * midFraction);
    };
    if (c0 == c1) {
        add(c0, dy, (x0 + x1) * 0.5 - c0);
        return;
    }
    const double dyPerX = dy / (x1 - x0);
    add(c0, (c0 + 1 - x0) * dyPerX, (x0 + c0 + 1) * 0.5 - c0);
    for (int c = c0 + 1; c < c1; ++c) add(c, dyPerX, 0.5);
    add(c1, (x1 - c1) * dyPerX, (x1 - c1) * 0.5);
}

// Adds the row's -ln(1 - coverage) to the cells its edges touch and to the
// cells between them, except the inside cells that the first phase filled.
void FrameAccumulator::WriteRow(std::uint32_t* acc, int insideFirst, int insideEnd) {
    if (ranges_.empty()) return;
    std::sort(ranges_.begin(), ranges_.end(), [](const Range& a, const Range& b) { return a.first < b.first; });
    const auto& logOf = LogTable();
    float* cover = cover_.data();
    const int width = surface_.width;
    auto logAt = [&logOf](float sum) {
        const float a = std::min(1.0f, std::max(0.0f, sum));
        return logOf[static_cast<std::size_t>(a * kCoverageSteps + 0.5f)];
    };
    // Between touched cells the coverage is constant: fill [from, to) with it.
    auto fill = [&](int from, int to, std::uint32_t q) {
        if (q == 0) return;
        to = std::min(to, width);
        for (int c = from; c < std::min(to, insideFirst); ++c) acc[c] += q;
        for (int c = std::max(from, insideEnd); c < to; ++c) acc[c] += q;
    };
    float sum = 0.0f;
    int next = ranges_.front().first;  // first cell not yet written
    std::size_t i = 0;
    while (i < ranges_.size()) {
        const int first = ranges_[i].first;
        int last = ranges_[i].last;
        for (++i; i < ranges_.size() && ranges_[i].first <= last + 1; ++i) last = std::max(last, ranges_[i].last);
        fill(next, first, logAt(sum));
        for (int c = first; c <= last; ++c) {
            sum += cover[c];
            cover[c] = 0.0f;
            if (c >= width || (c >= insideFirst && c < insideEnd)) continue;
            acc[c] += logAt(sum);
        }
        next = last + 1;
    }
}

// The first phase wrote differences; from here on the cells hold sums.
void FrameAccumulator::SumRows() {
    const std::size_t width = static_cast<std::size_t>(surface_.width);
    for (std::int32_t row = 0; row < surface_.height; ++row) {
        std::uint32_t* p = surface_.bits + static_cast<std::size_t>(row) * width;
        std::uint32_t sum = 0;
        for (std::size_t x = 0; x < width; ++x) {
            sum += p[x];
            p[x] = sum;
        }
    }
}

void FrameAccumulator::Resolve() {
    const auto& alphaOf = AlphaTable();
    std::array<std::uint32_t, 256> pixelOf{};
    const std::uint32_t r = (rgb_ >> 16) & 0xFFu, g = (rgb_ >> 8) & 0xFFu, b = rgb_ & 0xFFu;
    for (std::uint32_t a = 0; a < 256; ++a) {
        pixelOf[a] = (a << 24) | (((r * a + 127) / 255) << 16) | (((g * a + 127) / 255) << 8) | ((b * a + 127) / 255);
    }
    const std::uint32_t opaque = pixelOf[255];
    const std::size_t width = static_cast<std::size_t>(surface_.width);
    for (std::int32_t row = 0; row < surface_.height; ++row) {
        std::uint32_t* p = surface_.bits + static_cast<std::size_t>(row) * width;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t sum = p[x];
            p[x] = sum >= kSaturated ? opaque : pixelOf[alphaOf[sum]];
        }
    }
}

}  // namespace qv::previous
