// The frame fill as it was before the row sweep, kept in the benchmark only
// so that one run can show before and after side by side.
//
// The fast fill for whole frames.
//
// Every line of a frame has the same RGB and the frame starts transparent, so
// source-over of the lines commutes: the pixel's alpha is 1 - prod(1 - a_i c_i)
// whatever the order. The accumulator therefore adds -ln(1 - a_i c_i) per pixel
// in fixed point, in the surface's own memory, as differences along each row:
// a line writes only where its coverage changes (its edges), never across its
// inside. One pass over the surface at the end turns the running sums into
// premultiplied pixels; it replaces the clear.
//
// The blur passes draw the same lines nested inside each other (same corners,
// tips further out). A point inside pass k is inside every earlier pass, so a
// line's alpha there is 1 - T_k, T_k the product of (1 - a_j) over j <= k.
// That makes the line's alpha linear in the coverages, sum_k (T_{k-1} - T_k) c_k:
// the twelve triangles of a line are accumulated as one weighted shape, and
// their near-coincident edges do not darken each other the way twelve
// separately composited triangles would.
#pragma once

#include <cstdint>
#include <vector>

#include "surface.h"
#include "triangle_sink.h"

namespace qv::previous {

class FrameAccumulator final : public TriangleSink {
public:
    explicit FrameAccumulator(Surface& surface);

    // Clears the surface (all of byteSize when bits is not null).
    void BeginFrame(std::int32_t width, std::int32_t height) override;
    void BeginPass(const PassInfo& pass) override;
    void FillTriangle(const Triangle& t) override;
    // Rasterises what was collected and converts the sums into pixels.
    void EndFrame() override;

    // Fixed-point units of -ln(transmittance) per 1.0.
    static constexpr std::uint32_t kLogScale = 8192;

private:
    struct Edge {
        double yTop, yBottom;  // yTop < yBottom
        double xAtTop, slope;  // x = xAtTop + (y - yTop) * slope
        float weight;          // signed: +inside lies to the edge's right when walking down
    };
    struct Range {
        int first, last;  // cells, inclusive
    };
    struct Tri {  // vertices by rising y, and the inverse slopes of the three sides
        double xa, ya, xb, yb, xc, yc;
        double sAC, sAB, sBC;
    };
    enum class Phase { kInside, kEdges };

    void BuildLine(std::size_t line);
    void AddTriangle(const Triangle& t, float weight);
    void RasteriseLine(Phase phase);
    static void Section(const Tri& t, double y, double& lo, double& hi) noexcept;
    void AccumulateEdgeInRow(const Edge& e, int row);
    void AccumulatePiece(double x0, double x1, double dy);
    void WriteRow(std::uint32_t* acc, int insideFirst, int insideEnd);
    void SumRows();
    void Resolve();

    Surface& surface_;
    bool drawable_ = false;
    bool any_ = false;
    std::uint32_t rgb_ = 0;
    std::vector<std::vector<Triangle>> passes_;
    std::vector<Edge> edges_;  // of the line being drawn
    std::vector<Tri> tris_;
    float full_ = 0.0f;  // the line's alpha where all its triangles cover
    std::vector<float> cover_;  // one row of weighted signed area, width + 2 cells
    std::vector<Range> ranges_;  // cells touched in the current row
};

}  // namespace qv::previous
