// The fast fill for whole frames: the TriangleSink the composer draws into.
// It collects a frame's triangles and, at the end, runs the fill's stages
// in order; each stage lives in its own file (engine/fill_*).
//
// Every line of a frame has the same RGB and the frame starts transparent, so
// source-over of the lines commutes: the pixel's alpha is 1 - prod(1 - a_i c_i)
// whatever the order. The fill therefore adds -ln(1 - a_i c_i) per pixel in
// fixed point and converts the sums into premultiplied pixels once
// (fill_log_domain). The picture is swept row by row: every line crossing
// the row adds to the row's sums, one small buffer that stays in the
// first-level cache, and the finished row is stored into the surface once
// (which replaces the clear).
//
// Glossary. Runs of rows are half-open, [lo, hi), throughout; the cells of
// a cluster are [first, last].
// - shape: one line of the frame as the fill sees it, its triangles of all
//   passes as one weighted figure (fill_line_shapes). The blur's passes draw
//   the same line nested (same corners, tips further out), so a line's alpha
//   is linear in its triangles' coverages, sum_k (T_{k-1} - T_k) c_k, T_k the
//   product of (1 - a_j) over j <= k: the twelve triangles are one shape and
//   their near-coincident edges do not darken each other.
// - family: a shape's edges in one role (tip to corner 1, corner 1 to
//   corner 2, corner 2 to tip), one member per pass; a plain shape has one.
// - member: one triangle's edge within a family.
// - sides: a shape's two families in the rows it crosses whole; between them
//   its inside has one constant coverage.
// - row sums: one row's fixed-point logs, a cell each: differences while the
//   lines add to them, running sums once summed (`sums` wherever a function
//   takes them; fill_row_kernels).
// - span: a run of cells of one constant coverage, added to the row's sums as
//   two differences (fill_row_spans).
// - cluster: the cells of one row where a shape's edges pass; they get their
//   exact area coverage (fill_edge_cells), unless already opaque.
// - piece: a member's part within one row; its area in the cells it crosses
//   is exact (fill_edge_piece, frame_coverage).
// - gradation: the rows near a blur line's tips where its members begin one
//   after another, so that neither side crosses every member's whole row.
// - joined sides: the rows of a gradation where the line's two sides share
//   their cells and are one cluster, found from single-precision bounds
//   (fill::JoinedSides).
// - hidden rows: rows where a line lies inside opaque neighbours and is
//   skipped (fill_occlusion).
// - saturated radius: the distance from the centre beyond which every pixel
//   is opaque whatever the details; beyond it pixels are written opaque and
//   lines are swept only where they come nearer (fill_far_field).
// - visit: the rows in which the sweep takes up a shape: its rows less its
//   hidden rows and those beyond the saturated radius, so one or two runs.
// - batch: the consecutive rows a thread takes at a time from a shared
//   counter, kBatchRows of them (the whole picture on one thread); the
//   threads take batches until none is left, each with its own scratch
//   (fill_workers).
// - row kernels: the loops over a row's sums (fill_row_kernels).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "fill_edge_cells.h"
#include "fill_far_field.h"
#include "fill_line_shapes.h"
#include "fill_log_domain.h"
#include "fill_occlusion.h"
#include "fill_row_spans.h"
#include "fill_workers.h"
#include "surface.h"
#include "triangle_sink.h"

namespace qv {

// Which of the fill's shortcuts run; each gives the very same picture (the
// vector code up to the order of float additions), and tests turn them off
// to prove it.
struct FillOptions {
    // Vector kernels for the edge cells and row heights where the build has
    // them (fill::VectorCodeBuilt); the integer row kernels always use them.
    bool vectorCode = true;
    // The far field is written opaque without sweeping the lines there.
    bool farFieldShortcut = true;
    // A blur line's joined sides are one cluster found without the general
    // way.
    bool joinedSidesShortcut = true;
    // The rows are swept in batches on up to this many threads at once, 0 for
    // as many as the machine runs; a frame too small to be worth it takes
    // one. The picture is the same whatever the number.
    unsigned threads = 0;
};

// What the last frame's fill found.
struct FillStats {
    // Shape rows whose sides were joined into one cluster.
    std::size_t joinedSidesRows = 0;
    // The radius from the centre beyond which the frame was known opaque;
    // infinity when it was swept whole.
    double saturatedRadius = std::numeric_limits<double>::infinity();
    // The threads its rows were swept on.
    unsigned threads = 0;
};

class FrameAccumulator final : public TriangleSink {
public:
    explicit FrameAccumulator(Surface& surface, FillOptions options = {});
    // Draws the next frames onto another surface; the working memory grown
    // for earlier frames is kept, so a frame of the same size allocates nothing.
    void Retarget(Surface& surface);

    // A surface that cannot be drawn is cleared here (all of byteSize when
    // bits is not null); a drawable one is written whole by EndFrame.
    void BeginFrame(std::int32_t width, std::int32_t height) override;
    void BeginPass(const PassInfo& pass) override;
    void FillTriangle(const Triangle& t) override;
    // Rasterises what was collected and writes every pixel of the surface.
    void EndFrame() override;

    const FillStats& Stats() const noexcept { return stats_; }

private:
    struct Visit {  // rows [lo, hi) in which the sweep takes up a shape
        std::uint32_t shape;
        std::int32_t lo, hi;
    };
    // What one thread's rows need of their own.
    struct ThreadScratch {
        std::vector<fill::Active> active;     // the shapes crossing the current row
        std::vector<fill::Cluster> clusters;  // of the current row
        std::vector<std::uint32_t> openList;  // the clusters with an open cell
        std::vector<std::uint32_t> rowSums;   // the row being built, width + 4 cells
        std::vector<std::uint32_t> open;      // open cells before each cell, width + 1
        fill::EdgeCells edgeCells;
        std::size_t joinedSidesRows = 0;
    };

    void BuildShapes();
    void Sweep();
    void PlanVisits();
    unsigned SweepThreads() const;
    void PrepareScratch(ThreadScratch& scratch);
    // Takes batches of rows until none is left (on thread `worker`).
    void SweepRows(unsigned worker);
    void SweepBatch(ThreadScratch& scratch, std::int32_t lo, std::int32_t hi);
    // The cells [keepFrom, keepTo) of a row that lie within the saturated
    // radius; the rest are opaque.
    void KeptCells(std::int32_t row, std::int32_t& keepFrom, std::int32_t& keepTo) const;
    // Lists the clusters [clusters, end) with an open cell in [keepFrom, keepTo).
    static std::size_t OpenClusters(ThreadScratch& scratch, const fill::Cluster* end, std::int32_t keepFrom,
                                    std::int32_t keepTo, std::int32_t width);
    // Cells [keepFrom, keepTo) from their sums; the rest opaque.
    void ResolveRow(std::uint32_t* sums, std::uint32_t* pixels, std::int32_t keepFrom,
                    std::int32_t keepTo) const;

    Surface* surface_;
    FillOptions options_;
    FillStats stats_;
    bool drawable_ = false;
    bool any_ = false;
    std::uint32_t rgb_ = 0;
    std::vector<std::vector<Triangle>> passes_;  // the first passCount_ are this frame's
    std::size_t passCount_ = 0;
    bool haveCentre_ = false;
    double centreX_ = 0.0, centreY_ = 0.0;
    std::vector<const Triangle*> memberOf_;
    std::vector<float> weightOf_;

    fill::LineShapes lines_;
    fill::RowSpans spans_;
    fill::FarField farField_;
    fill::PixelTable pixelTable_;
    std::vector<fill::HiddenRows> hidden_;  // per shape: rows it adds nothing to
    std::vector<Visit> visits_;
    std::vector<std::uint32_t> startOf_, order_, next_;  // visits by first row
    std::vector<ThreadScratch> scratch_;                 // one per thread
    std::int32_t batchRows_ = 0;                         // rows a thread takes at a time
    std::atomic<std::int32_t> nextRow_{0};               // the first row no thread has taken
    // Last: its threads are stopped before the scratch they use goes.
    fill::Workers workers_;
};

}  // namespace qv
