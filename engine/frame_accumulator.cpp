#include "frame_accumulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <thread>

#include "fill_row_kernels.h"

namespace qv {

namespace {

// Rows a thread takes at a time: enough that finding the shapes under way
// where a batch begins costs little, few enough that the threads end together.
constexpr std::int32_t kBatchRows = 32;
constexpr std::size_t kShapeRowsPerThread = 20000;
constexpr unsigned kMaxThreads = 16;

}  // namespace

FrameAccumulator::FrameAccumulator(Surface& surface, FillOptions options)
    : surface_(&surface), options_(options) {}

void FrameAccumulator::Retarget(Surface& surface) { surface_ = &surface; }

void FrameAccumulator::BeginFrame(std::int32_t, std::int32_t) {
    drawable_ = surface_->Drawable();
    if (!drawable_ && surface_->bits != nullptr) std::memset(surface_->bits, 0, surface_->byteSize);
    any_ = false;
    passCount_ = 0;
    haveCentre_ = false;
    stats_ = FillStats{};
}

void FrameAccumulator::BeginPass(const PassInfo& pass) {
    // The triangle lists of earlier frames keep their memory.
    if (passCount_ == passes_.size()) passes_.emplace_back();
    passes_[passCount_].clear();
    passes_[passCount_].reserve(pass.lineCount);
    ++passCount_;
    if (pass.hasCentre) {
        haveCentre_ = true;
        centreX_ = static_cast<double>(pass.centreX) + fill::kPixelCentre;
        centreY_ = static_cast<double>(pass.centreY) + fill::kPixelCentre;
    }
}

void FrameAccumulator::FillTriangle(const Triangle& t) {
    if (!drawable_) return;
    if (passCount_ == 0) BeginPass(PassInfo{});
    passes_[passCount_ - 1].push_back(t);
    // The frame's lines share one colour; the last one seen stands for all.
    rgb_ = t.argb & 0xFFFFFFu;
    any_ = true;
}

void FrameAccumulator::EndFrame() {
    if (!drawable_) return;
    const std::size_t pixels =
        static_cast<std::size_t>(surface_->width) * static_cast<std::size_t>(surface_->height);
    // Whatever the buffer holds beyond the picture is cleared as well.
    if (surface_->byteSize > pixels * 4u) {
        std::memset(reinterpret_cast<unsigned char*>(surface_->bits) + pixels * 4u, 0,
                    surface_->byteSize - pixels * 4u);
    }
    if (!any_) {
        std::memset(surface_->bits, 0, pixels * 4u);
        return;
    }
    pixelTable_.SetColour(rgb_);
    BuildShapes();
    Sweep();
}

// Passes of equal length whose lines keep their corners are the blur's
// nested lines, one shape per line; anything else is one shape per triangle.
void FrameAccumulator::BuildShapes() {
    const std::span<const std::vector<Triangle>> passes(passes_.data(), passCount_);
    bool nested = passes.size() > 1;
    for (const auto& p : passes) nested = nested && p.size() == passes.front().size();
    const std::size_t lines = nested ? passes.front().size() : 0;
    for (std::size_t i = 0; i < lines && nested; ++i) {
        const Triangle& a = passes.front()[i];
        for (const auto& p : passes) {
            const Triangle& t = p[i];
            nested = nested && t.c1X == a.c1X && t.c1Y == a.c1Y && t.c2X == a.c2X && t.c2Y == a.c2Y;
        }
    }
    const std::int32_t height = surface_->height;
    lines_.Clear();
    if (!nested) {
        for (const auto& p : passes) {
            for (const Triangle& t : p) {
                const Triangle* member = &t;
                const float weight = static_cast<float>(t.argb >> 24) / 255.0f;
                lines_.Add(&member, 1, &weight, height);
            }
        }
        return;
    }
    memberOf_.resize(passes.size());
    weightOf_.resize(passes.size());
    for (std::size_t i = 0; i < lines; ++i) {
        float transmittance = 1.0f;
        for (std::size_t k = 0; k < passes.size(); ++k) {
            const Triangle& t = passes[k][i];
            const float a = static_cast<float>(t.argb >> 24) / 255.0f;
            memberOf_[k] = &t;
            weightOf_[k] = transmittance * a;
            transmittance *= 1.0f - a;
        }
        lines_.Add(memberOf_.data(), memberOf_.size(), weightOf_.data(), height);
    }
}

// Each shape's rows, less those where other lines already make its every
// cell opaque and those beyond the saturated radius; the visits in the
// order of their first row.
void FrameAccumulator::PlanVisits() {
    visits_.clear();
    for (std::uint32_t i = 0; i < lines_.shapes.size(); ++i) {
        const fill::Shape& shape = lines_.shapes[i];
        std::int32_t keptLo = shape.rowLo, keptHi = shape.rowHi;
        farField_.KeepRows(lines_, i, keptLo, keptHi);
        auto visit = [&](std::int32_t lo, std::int32_t hi) {  // within the kept rows
            lo = std::max(lo, keptLo);
            hi = std::min(hi, keptHi);
            if (lo < hi) visits_.push_back(Visit{i, lo, hi});
        };
        const std::int32_t hideLo = hidden_[i].lo, hideHi = hidden_[i].hi;
        if (hideHi > hideLo) {
            visit(shape.rowLo, hideLo);
            visit(hideHi, shape.rowHi);
        } else {
            visit(shape.rowLo, shape.rowHi);
        }
    }
    const std::int32_t height = surface_->height;
    startOf_.assign(static_cast<std::size_t>(height) + 1, 0u);
    for (const Visit& v : visits_) ++startOf_[static_cast<std::size_t>(v.lo) + 1];
    for (std::int32_t r = 0; r < height; ++r) {
        startOf_[static_cast<std::size_t>(r) + 1] += startOf_[static_cast<std::size_t>(r)];
    }
    order_.resize(visits_.size());
    next_.assign(startOf_.begin(), startOf_.end() - 1);
    for (std::uint32_t i = 0; i < visits_.size(); ++i)
        order_[next_[static_cast<std::size_t>(visits_[i].lo)]++] = i;
}

void FrameAccumulator::KeptCells(std::int32_t row, std::int32_t& keepFrom, std::int32_t& keepTo) const {
    const std::int32_t width = surface_->width;
    const double radius = stats_.saturatedRadius;
    keepFrom = 0, keepTo = width;
    if (!(radius < std::numeric_limits<double>::infinity())) return;
    const double y0 = row, y1 = row + 1.0;
    const double dy = centreY_ < y0 ? y0 - centreY_ : (centreY_ > y1 ? centreY_ - y1 : 0.0);
    keepFrom = keepTo = 0;
    if (dy < radius) {
        const double half = std::sqrt(radius * radius - dy * dy);
        keepFrom = static_cast<std::int32_t>(
            std::clamp(std::floor(centreX_ - half), 0.0, static_cast<double>(width)));
        keepTo = static_cast<std::int32_t>(
            std::clamp(std::ceil(centreX_ + half), 0.0, static_cast<double>(width)));
    }
}

// Most edge cells lie under other lines' insides: the open cells were
// counted once, so that a cluster is tried in constant time, and the few
// open ones are listed without a branch per cluster.
std::size_t FrameAccumulator::OpenClusters(ThreadScratch& scratch, const fill::Cluster* end,
                                           std::int32_t keepFrom, std::int32_t keepTo, std::int32_t width) {
    const fill::Cluster* clusters = scratch.clusters.data();
    const std::uint32_t* open = scratch.open.data();
    const std::size_t total = static_cast<std::size_t>(end - clusters);
    std::uint32_t* list = scratch.openList.data();
    std::size_t opened = 0;
    if (keepFrom == 0 && keepTo == width) {
        for (std::size_t i = 0; i < total; ++i) {
            list[opened] = static_cast<std::uint32_t>(i);
            opened += open[clusters[i].last + 1] != open[clusters[i].first] ? 1 : 0;
        }
        return opened;
    }
    // Cells outside [keepFrom, keepTo) are written opaque: no cluster there counts.
    for (std::size_t i = 0; i < total; ++i) {
        const fill::Cluster& c = clusters[i];
        const std::int32_t first = std::max(c.first, keepFrom), last = std::min(c.last, keepTo - 1);
        list[opened] = static_cast<std::uint32_t>(i);
        opened += first <= last && open[last + 1] != open[first] ? 1 : 0;
    }
    return opened;
}

void FrameAccumulator::Sweep() {
    const std::int32_t width = surface_->width;
    const std::int32_t height = surface_->height;
    spans_.Prepare(lines_, width, options_.vectorCode, options_.joinedSidesShortcut);
    fill::FindHiddenRows(spans_.Actives(), hidden_);
    farField_.Clear();
    if (options_.farFieldShortcut && haveCentre_ && lines_.shapes.size() >= 2) {
        farField_.Find(lines_, centreX_, centreY_, width, height);
    }
    stats_.saturatedRadius = farField_.Radius();
    PlanVisits();

    const unsigned threads = SweepThreads();
    stats_.threads = threads;
    if (scratch_.size() < threads) scratch_.resize(threads);
    for (unsigned t = 0; t < threads; ++t) PrepareScratch(scratch_[t]);
    batchRows_ = threads > 1 ? kBatchRows : height;
    nextRow_.store(0, std::memory_order_relaxed);
    workers_.Run(
        threads, [](void* self, unsigned worker) { static_cast<FrameAccumulator*>(self)->SweepRows(worker); },
        this);
    for (unsigned t = 0; t < threads; ++t) stats_.joinedSidesRows += scratch_[t].joinedSidesRows;
}

// A thread is worth starting for this many shape rows; fewer cost less than
// waking it.
unsigned FrameAccumulator::SweepThreads() const {
    std::size_t shapeRows = 0;
    for (const Visit& v : visits_) shapeRows += static_cast<std::size_t>(v.hi - v.lo);
    std::size_t threads = options_.threads != 0 ? options_.threads : std::thread::hardware_concurrency();
    threads = std::min({threads, static_cast<std::size_t>(kMaxThreads), shapeRows / kShapeRowsPerThread,
                        static_cast<std::size_t>(surface_->height / kBatchRows)});
    return static_cast<unsigned>(std::max<std::size_t>(threads, 1));
}

void FrameAccumulator::PrepareScratch(ThreadScratch& scratch) {
    const std::int32_t width = surface_->width;
    scratch.rowSums.assign(static_cast<std::size_t>(width) + 4, 0u);  // AllSaturated reads past the last cell
    scratch.open.assign(static_cast<std::size_t>(width) + 1, 0u);
    // Room for every visit at once, so that no later frame of this size
    // grows them, whichever rows fall to which thread.
    scratch.active.reserve(visits_.size());
    if (scratch.clusters.size() < 3 * visits_.size()) scratch.clusters.resize(3 * visits_.size());
    if (scratch.openList.size() < scratch.clusters.size()) scratch.openList.resize(scratch.clusters.size());
    scratch.edgeCells.Prepare(lines_, width, options_.vectorCode);
    scratch.joinedSidesRows = 0;
}

void FrameAccumulator::SweepRows(unsigned worker) {
    ThreadScratch& scratch = scratch_[worker];
    const std::int32_t height = surface_->height;
    for (;;) {
        const std::int32_t lo = nextRow_.fetch_add(batchRows_, std::memory_order_relaxed);
        if (lo >= height) break;
        SweepBatch(scratch, lo, std::min(lo + batchRows_, height));
    }
    fill::FinishStores();  // each thread's own streamed stores
}

void FrameAccumulator::SweepBatch(ThreadScratch& scratch, std::int32_t lo, std::int32_t hi) {
    const std::int32_t width = surface_->width;
    // The visits under way when the batch begins, then those that begin in it.
    scratch.active.clear();
    const std::size_t begun = startOf_[static_cast<std::size_t>(lo)];
    for (std::size_t i = 0; i < begun; ++i) {
        const Visit& v = visits_[order_[i]];
        if (v.hi <= lo) continue;
        scratch.active.push_back(spans_.Actives()[v.shape]);
        scratch.active.back().rowHi = v.hi;
    }
    std::size_t nextVisit = begun;
    std::uint32_t* sums = scratch.rowSums.data();
    // A frame with a saturated radius is dense enough that earlier clusters
    // often make a later one's cells opaque.
    const bool skipOpaque = stats_.saturatedRadius < std::numeric_limits<double>::infinity();
    for (std::int32_t row = lo; row < hi; ++row) {
        std::int32_t keepFrom, keepTo;
        KeptCells(row, keepFrom, keepTo);
        std::uint32_t* pixels =
            surface_->bits + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
        const bool visitStarts = nextVisit < order_.size() && visits_[order_[nextVisit]].lo == row;
        if (keepFrom >= keepTo && scratch.active.empty() && !visitStarts) {
            fill::FillPixels(pixels, width, pixelTable_.Opaque());  // no line here, and all of it opaque
            continue;
        }
        while (nextVisit < order_.size() && visits_[order_[nextVisit]].lo == row) {
            const Visit& v = visits_[order_[nextVisit++]];
            scratch.active.push_back(spans_.Actives()[v.shape]);
            scratch.active.back().rowHi = v.hi;
        }
        const fill::Cluster* end =
            spans_.Row(scratch.active, row, sums, scratch.clusters.data(), scratch.joinedSidesRows);
        // Only the kept cells' sums are read; the differences left of them
        // still count. The cells beyond are written opaque whatever they hold.
        if (keepFrom < keepTo) {
            sums[keepFrom] += fill::SumOf(sums, keepFrom);
            fill::SumRow(sums + keepFrom, keepTo - keepFrom, scratch.open.data() + keepFrom);
        }
        const std::size_t opened = OpenClusters(scratch, end, keepFrom, keepTo, width);
        scratch.edgeCells.Row(scratch.clusters.data(), scratch.openList.data(), opened, row, sums,
                              skipOpaque);
        ResolveRow(sums, pixels, keepFrom, keepTo);
    }
}

void FrameAccumulator::ResolveRow(std::uint32_t* sums, std::uint32_t* pixels, std::int32_t keepFrom,
                                  std::int32_t keepTo) const {
    const std::int32_t width = surface_->width;
    const std::uint32_t opaque = pixelTable_.Opaque();
    if (keepTo <= keepFrom) keepFrom = keepTo = 0;
    fill::FillPixels(pixels, keepFrom, opaque);
    std::fill(sums, sums + keepFrom, 0u);
    fill::ResolveCells(sums + keepFrom, pixels + keepFrom, keepTo - keepFrom, pixelTable_.BySum(), opaque);
    fill::FillPixels(pixels + keepTo, width - keepTo, opaque);
    std::fill(sums + keepTo, sums + width + 1, 0u);
}

}  // namespace qv
