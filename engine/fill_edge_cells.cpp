#include "fill_edge_cells.h"

#include <algorithm>
#include <type_traits>

#include "fill_log_domain.h"
#include "fill_row_kernels.h"
#include "fill_simd.h"
#include "frame_coverage.h"

namespace qv::fill {

namespace {

#if QV_FILL_SSE2
// Cells per step of the grouped edge cells: most groups of four members
// touch no more.
constexpr std::int32_t kGroupCells = 4;

// The shapes and edges of open clusters are far apart in memory: ask for
// them a few clusters ahead.
QV_ALWAYS_INLINE void PrefetchAhead(const LineShapes& lines, const Cluster* clusters,
                                    const std::uint32_t* list, std::size_t i, std::size_t count) {
    if (i + 4 < count) {
        const Cluster& ahead = clusters[list[i + 4]];
        if ((ahead.mask & kPlainShape) != 0) {
            const Edge* edges = lines.plainEdges.data() + 3 * static_cast<std::size_t>(ahead.shape);
            _mm_prefetch(reinterpret_cast<const char*>(edges), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(edges + 3) - 1, _MM_HINT_T0);
        } else {
            _mm_prefetch(reinterpret_cast<const char*>(&lines.shapes[ahead.shape]), _MM_HINT_T0);
        }
    }
    if (i + 2 < count && (clusters[list[i + 2]].mask & kPlainShape) == 0) {
        const Cluster& ahead = clusters[list[i + 2]];
        const Shape& shape = lines.shapes[ahead.shape];
        for (std::uint32_t e = 0; e < 3; ++e) {
            if ((ahead.mask & (1u << e)) == 0) continue;
            const Family& f = shape.family[e];
            const char* from = reinterpret_cast<const char*>(lines.groups.Group(f.groupsBegin));
            const char* to = reinterpret_cast<const char*>(lines.groups.Group(f.groupsEnd));
            for (const char* p = from; p < to; p += 64) _mm_prefetch(p, _MM_HINT_T0);
        }
    }
}

// Four members' pieces, each within two cells c, c + 1 (c = cellLo). With
// G(u) the ramp of a piece, c gets h G(c + 1), c + 1 gets h (G(c + 2) -
// G(c + 1)) and the cells beyond h: as differences, three values from c on,
// added to the signed-area cells `local`.
QV_ALWAYS_INLINE void AddNarrowPieces(__m128 lo, __m128 hi, __m128 h, __m128 live, __m128i cellLo,
                                      float* local) {
    const __m128 one = _mm_set1_ps(1.0f);
    const Ramps ramp = Ramps::Of(lo, hi);
    const __m128 u1 = _mm_add_ps(_mm_cvtepi32_ps(cellLo), one);
    const __m128 g1 = ramp.At(u1);
    const __m128 g2 = _mm_sub_ps(_mm_add_ps(u1, one), ramp.mid);
    const __m128 cov0 = _mm_mul_ps(h, g1);
    const __m128 cov1 = _mm_mul_ps(h, _mm_sub_ps(g2, g1));
    const __m128 first = cov0, second = _mm_sub_ps(cov1, cov0), third = _mm_sub_ps(h, cov1);
    // The members' pieces mostly share their cells: when all four begin
    // within two cells of the leftmost, their differences are summed in
    // registers and added to the row once, instead of twelve dependent
    // additions.
    const __m128i at = _mm_and_si128(cellLo, _mm_castps_si128(live));
    const __m128i far = _mm_set1_epi32(1 << 30);
    __m128i base = _mm_or_si128(at, _mm_andnot_si128(_mm_castps_si128(live), far));
    base = MinEpi32(base, _mm_shuffle_epi32(base, _MM_SHUFFLE(1, 0, 3, 2)));
    base = MinEpi32(base, _mm_shuffle_epi32(base, _MM_SHUFFLE(2, 3, 0, 1)));
    const __m128i offset = _mm_and_si128(_mm_sub_epi32(at, base), _mm_castps_si128(live));
    const std::int32_t from = _mm_cvtsi128_si32(base);
    if (_mm_movemask_epi8(_mm_cmpgt_epi32(offset, _mm_set1_epi32(1))) == 0) {
        const __m128 is0 = _mm_castsi128_ps(_mm_cmpeq_epi32(offset, _mm_setzero_si128()));
        const __m128 is1 = _mm_castsi128_ps(_mm_cmpeq_epi32(offset, _mm_set1_epi32(1)));
        // Row j holds what each member adds to cell from + j.
        __m128 m0 = _mm_and_ps(is0, first);
        __m128 m1 = _mm_add_ps(_mm_and_ps(is1, first), _mm_and_ps(is0, second));
        __m128 m2 = _mm_add_ps(_mm_and_ps(is1, second), _mm_and_ps(is0, third));
        __m128 m3 = _mm_and_ps(is1, third);
        _MM_TRANSPOSE4_PS(m0, m1, m2, m3);
        const __m128 sum = _mm_add_ps(_mm_add_ps(m0, m1), _mm_add_ps(m2, m3));
        _mm_storeu_ps(local + from, _mm_add_ps(_mm_loadu_ps(local + from), sum));
        return;
    }
    alignas(16) std::int32_t cellAt[4];
    alignas(16) float v0[4], v1[4], v2[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(cellAt), at);
    _mm_store_ps(v0, first);
    _mm_store_ps(v1, second);
    _mm_store_ps(v2, third);
    for (int k = 0; k < 4; ++k) {
        local[cellAt[k]] += v0[k];
        local[cellAt[k] + 1] += v1[k];
        local[cellAt[k] + 2] += v2[k];
    }
}

// Four members' pieces of any width: their areas into `out` over the cells
// where a live piece lies, kGroupCells at a time, and their whole height
// into `local` right of those cells.
QV_ALWAYS_INLINE void AddWidePieces(__m128 lo, __m128 hi, __m128 h, __m128 live, std::int32_t cells,
                                    float* out, float* local) {
    const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
    const __m128 big = _mm_set1_ps(1e30f);
    __m128 mn = _mm_or_ps(_mm_and_ps(live, lo), _mm_andnot_ps(live, big));
    __m128 mx = _mm_or_ps(_mm_and_ps(live, hi), _mm_andnot_ps(live, _mm_sub_ps(zero, big)));
    mn = _mm_min_ps(mn, _mm_shuffle_ps(mn, mn, _MM_SHUFFLE(1, 0, 3, 2)));
    mn = _mm_min_ps(mn, _mm_shuffle_ps(mn, mn, _MM_SHUFFLE(2, 3, 0, 1)));
    mx = _mm_max_ps(mx, _mm_shuffle_ps(mx, mx, _MM_SHUFFLE(1, 0, 3, 2)));
    mx = _mm_max_ps(mx, _mm_shuffle_ps(mx, mx, _MM_SHUFFLE(2, 3, 0, 1)));
    // Clamped to [0, cells] first, where truncation is the floor.
    const float groupLo = std::clamp(_mm_cvtss_f32(mn), 0.0f, static_cast<float>(cells));
    const float groupHi = std::clamp(_mm_cvtss_f32(mx), 0.0f, static_cast<float>(cells));
    const std::int32_t from = static_cast<std::int32_t>(groupLo);
    std::int32_t to = static_cast<std::int32_t>(groupHi);
    if (static_cast<float>(to) < groupHi) ++to;
    // Cells right of every piece get the whole height either way.
    to = from + std::max(kGroupCells, (to - from + kGroupCells - 1) / kGroupCells * kGroupCells);
    to = std::min(to, cells + kGroupCells);
    local[to] += HorizontalSum(h);
    const Ramps ramp = Ramps::Of(lo, hi);
    // Four cells at a time: member by cell, turned into cell by member, so
    // one addition sums each cell's members.
    static_assert(kGroupCells == 4);
    __m128 u = _mm_set1_ps(static_cast<float>(from));
    __m128 left = ramp.At(u);
    for (std::int32_t x0 = from; x0 < to; x0 += kGroupCells) {
        const __m128 a1 = ramp.At(u = _mm_add_ps(u, one));
        const __m128 a2 = ramp.At(u = _mm_add_ps(u, one));
        const __m128 a3 = ramp.At(u = _mm_add_ps(u, one));
        const __m128 a4 = ramp.At(u = _mm_add_ps(u, one));
        __m128 c0 = _mm_mul_ps(h, _mm_sub_ps(a1, left));
        __m128 c1 = _mm_mul_ps(h, _mm_sub_ps(a2, a1));
        __m128 c2 = _mm_mul_ps(h, _mm_sub_ps(a3, a2));
        __m128 c3 = _mm_mul_ps(h, _mm_sub_ps(a4, a3));
        left = a4;
        _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
        const __m128 sum = _mm_add_ps(_mm_add_ps(c0, c1), _mm_add_ps(c2, c3));
        _mm_storeu_ps(out + x0, _mm_add_ps(_mm_loadu_ps(out + x0), sum));
    }
}
#endif

}  // namespace

void EdgeCells::Prepare(const LineShapes& lines, std::int32_t width, bool vectorCode) {
    lines_ = &lines;
    width_ = width;
    vectorCode_ = vectorCode;
    cover_.assign(static_cast<std::size_t>(width) + 2, 0.0f);
    // Room for the largest cluster the frame can have, so that no later
    // frame of this size grows the scratch, whichever rows this one gets.
    std::uint32_t members = 1;
    for (const Shape& shape : lines.shapes) members = std::max(members, shape.members);
    const std::size_t pieces = 3 * static_cast<std::size_t>(members);
    if (pieceLo_.size() < pieces)
        pieceLo_.resize(pieces), pieceHi_.resize(pieces), pieceHeight_.resize(pieces);
    const std::size_t cells = 2 * (static_cast<std::size_t>(width) + 8);
    if (cells_.size() < cells) cells_.resize(cells);
}

void EdgeCells::Row(const Cluster* clusters, const std::uint32_t* list, std::size_t count, std::int32_t row,
                    std::uint32_t* sums, bool skipOpaque) {
    for (std::size_t i = 0; i < count; ++i) {
#if QV_FILL_SSE2
        PrefetchAhead(*lines_, clusters, list, i, count);
#endif
        // In a frame dense enough to saturate, earlier clusters' edges often
        // make a cluster's cells opaque after the open cells were counted; a
        // sparse frame is spared the look.
        const Cluster& c = clusters[list[i]];
        if (skipOpaque && AllSaturated(sums, c.first, c.last)) continue;
#if QV_FILL_SSE2
        if (vectorCode_) {
            // A plain line's cells, the most common, without the general
            // way's frame around them; the grouped kernel is worth it for
            // the blur's twelve members.
            if ((c.mask & kPlainShape) != 0) {
                if (Plain(c, row, sums)) continue;
            } else if (c.first >= 1 && c.last <= width_ - 2) {
                if (Grouped<true>(c, row, sums)) continue;
            } else {
                if (Grouped<false>(c, row, sums)) continue;
            }
        }
#endif
        General(c, row, sums);
    }
}

void EdgeCells::General(const Cluster& c, std::int32_t row, std::uint32_t* sums) {
    const Shape& shape = lines_->shapes[c.shape];
    const std::int32_t width = width_;
    const double w = width;
    std::size_t members = 0;
    for (std::uint32_t e = 0; e < 3; ++e) {
        if ((c.mask & (1u << e)) != 0) members += shape.family[e].end - shape.family[e].begin;
    }
    if (pieceLo_.size() < members) {
        pieceLo_.resize(members);
        pieceHi_.resize(members);
        pieceHeight_.resize(members);
    }
    ClusterPieces pieces{pieceLo_.data(), pieceHi_.data(), pieceHeight_.data(), 0, c.base};
    float* cover = cover_.data();
    std::int32_t lo = width + 2, hi = -1;
    const double y0 = row, y1 = row + 1.0;
    for (std::uint32_t e = 0; e < 3; ++e) {
        if ((c.mask & (1u << e)) == 0) continue;
        const Family& f = shape.family[e];
        for (std::uint32_t i = f.begin; i < f.end; ++i) {
            double x0, x1, dy;
            if (!SortPiece(lines_->edges[i], y0, y1, w, c.first, pieces, x0, x1, dy)) {
                AccumulateClipped(cover, x0, x1, dy, w, lo, hi);  // split at the side (rare)
            }
        }
    }
    const std::int32_t cells = c.last - c.first + 1;
    if (cells_.size() < static_cast<std::size_t>(cells)) cells_.resize(static_cast<std::size_t>(cells));
    float* out = cells_.data();
    CellCoverage(pieces.lo, pieces.hi, pieces.height, pieces.count, cells, pieces.base, out);
    if (hi >= lo) {
        float run = 0.0f;
        for (std::int32_t x = std::min(lo, c.first); x <= c.last; ++x) {
            run += cover[x];
            if (x >= c.first) out[x - c.first] += run;
        }
        std::fill(cover + lo, cover + hi + 1, 0.0f);
    }
    const std::uint32_t* logOf = LogTable().data();
    std::uint32_t* cell = sums + c.first;
    for (std::int32_t x = 0; x < cells; ++x) {
        if (cell[x] < kSaturated) cell[x] += LogOf(logOf, out[x]);
    }
}

#if QV_FILL_SSE2
// A plain line's edge cells, four cells at a time: a cluster holds at most
// one piece per side, so the pieces stay in registers. The coverages are the
// general way's, operation for operation. A piece across a side of the
// picture needs splitting; then it returns false and the general way does
// the cluster.
bool EdgeCells::Plain(const Cluster& c, std::int32_t row, std::uint32_t* sums) {
    const Edge* edges = lines_->plainEdges.data() + 3 * static_cast<std::size_t>(c.shape);
    const double w = width_;
    const double y0 = row, y1 = row + 1.0;
    float pieceLo[3], pieceHi[3], pieceHeight[3];
    ClusterPieces pieces{pieceLo, pieceHi, pieceHeight, 0, c.base};
    for (std::uint32_t e = 0; e < 3; ++e) {
        if ((c.mask & (1u << e)) == 0) continue;
        double x0, x1, dy;
        if (!SortPiece(edges[e], y0, y1, w, c.first, pieces, x0, x1, dy)) return false;
    }
    // The piece count is made a constant, so that the pieces stay in
    // registers: one piece is by far the most common cluster.
    const std::uint32_t* logOf = LogTable().data();
    std::uint32_t* cell = sums + c.first;
    const std::int32_t cells = c.last - c.first + 1;
    const float base = pieces.base;
    auto fill = [&]<int kPieces>(std::integral_constant<int, kPieces>) {
        constexpr int kRoom = kPieces > 0 ? kPieces : 1;
        Ramps ramp[kRoom];
        __m128 h[kRoom];
        for (int k = 0; k < kPieces; ++k) {
            ramp[k] = Ramps::Of(_mm_set1_ps(pieceLo[k]), _mm_set1_ps(pieceHi[k]));
            h[k] = _mm_set1_ps(pieceHeight[k]);
        }
        const __m128 firstFour = _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f), one = _mm_set1_ps(1.0f);
        for (std::int32_t x = 0; x < cells; x += 4) {
            const __m128 left = _mm_add_ps(_mm_set1_ps(static_cast<float>(x)), firstFour);
            const __m128 right = _mm_add_ps(left, one);
            __m128 coverage = _mm_set1_ps(base);
            for (int k = 0; k < kPieces; ++k) {
                coverage =
                    _mm_add_ps(coverage, _mm_mul_ps(h[k], _mm_sub_ps(ramp[k].At(right), ramp[k].At(left))));
            }
            AddLogsOfFour(cell + x, coverage, logOf, cells - x);
        }
    };
    switch (pieces.count) {
        case 0:
            fill(std::integral_constant<int, 0>{});
            break;
        case 1:
            fill(std::integral_constant<int, 1>{});
            break;
        case 2:
            fill(std::integral_constant<int, 2>{});
            break;
        default:
            fill(std::integral_constant<int, 3>{});
            break;
    }
    return true;
}

// The edge cells four members at a time: pieces and their areas without
// leaving the vector registers. Pieces within one cell go straight into
// signed-area cells (local), as a font rasteriser does; wider pieces add
// their areas to out and their whole height to local right of their cells.
// Both lie in one buffer, cleared at once; cells past the cluster are thrown
// away. A piece across a side of the picture needs splitting; then it
// returns false and the general way does the cluster.
template <bool kInterior>
bool EdgeCells::Grouped(const Cluster& c, std::int32_t row, std::uint32_t* sums) {
    const Shape& shape = lines_->shapes[c.shape];
    const std::int32_t cells = c.last - c.first + 1;
    const std::size_t room = static_cast<std::size_t>(cells) + kGroupCells + 1;
    if (cells_.size() < 2 * room) cells_.resize(2 * room);
    float* out = cells_.data();
    float* local = out + room;
    std::fill(out, out + 2 * room, 0.0f);
    const float origin = static_cast<float>(c.first);
    const __m128 zero = _mm_setzero_ps();
    const __m128 y0 = _mm_set1_ps(static_cast<float>(row)), y1 = _mm_set1_ps(static_cast<float>(row) + 1.0f);
    const __m128 leftSide = _mm_set1_ps(-origin);
    const __m128 rightSide = _mm_set1_ps(static_cast<float>(width_) - origin);
    const __m128 inCells = _mm_set1_ps(static_cast<float>(cells));
    __m128 off = zero;  // heights of pieces left of the picture
    // Held apart from the vector: the stores into the cells below would
    // otherwise make the compiler fetch its data pointer again each time.
    const float* const members = lines_->groups.data.data();
    for (std::uint32_t e = 0; e < 3; ++e) {
        if ((c.mask & (1u << e)) == 0) continue;
        const Family& f = shape.family[e];
        const __m128 yRef = _mm_set1_ps(f.yRef);
        for (std::uint32_t m = f.groupsBegin; m < f.groupsEnd; m += 4) {
            const float* g = members + m / MemberGroups::kLanes * MemberGroups::kGroupFloats;
            __m128 x = _mm_loadu_ps(g + MemberGroups::kX * 4);
            const __m128 slope = _mm_loadu_ps(g + MemberGroups::kSlope * 4);
            const __m128 top = _mm_max_ps(y0, _mm_loadu_ps(g + MemberGroups::kTop * 4));
            const __m128 bottom = _mm_min_ps(y1, _mm_loadu_ps(g + MemberGroups::kBottom * 4));
            const __m128 dy = _mm_max_ps(zero, _mm_sub_ps(bottom, top));
            __m128 h = _mm_mul_ps(dy, _mm_loadu_ps(g + MemberGroups::kWeight * 4));
            if (_mm_movemask_ps(_mm_cmpneq_ps(h, zero)) == 0) continue;
            x = _mm_sub_ps(x, _mm_set1_ps(origin));
            const __m128 xa = _mm_add_ps(x, _mm_mul_ps(_mm_sub_ps(top, yRef), slope));
            const __m128 xb = _mm_add_ps(x, _mm_mul_ps(_mm_sub_ps(bottom, yRef), slope));
            const __m128 lo = _mm_min_ps(xa, xb), hi = _mm_max_ps(xa, xb);
            // A cluster clear of the picture's sides has all its pieces
            // inside the picture: its bounds hold them.
            if constexpr (!kInterior) {
                const __m128 offLeft = _mm_cmple_ps(hi, leftSide);
                off = _mm_add_ps(off, _mm_and_ps(offLeft, h));
                h = _mm_andnot_ps(_mm_or_ps(offLeft, _mm_cmpge_ps(lo, rightSide)), h);
            }
            const __m128 live = _mm_cmpneq_ps(h, zero);
            if constexpr (!kInterior) {
                const __m128 across =
                    _mm_or_ps(_mm_and_ps(_mm_cmplt_ps(lo, leftSide), _mm_cmpgt_ps(hi, leftSide)),
                              _mm_and_ps(_mm_cmplt_ps(lo, rightSide), _mm_cmpgt_ps(hi, rightSide)));
                if (_mm_movemask_ps(_mm_and_ps(live, across)) != 0) return false;
                if (_mm_movemask_ps(live) == 0) continue;
            }
            const __m128i cellLo = TruncateToInt32(lo), cellHi = TruncateToInt32(hi);
            const __m128 inside = _mm_and_ps(_mm_cmpge_ps(lo, zero), _mm_cmplt_ps(hi, inCells));
            const __m128 narrow = _mm_and_ps(
                inside, _mm_castsi128_ps(_mm_cmplt_epi32(_mm_sub_epi32(cellHi, cellLo), _mm_set1_epi32(2))));
            if (_mm_movemask_ps(_mm_andnot_ps(narrow, live)) == 0) {
                AddNarrowPieces(lo, hi, h, live, cellLo, local);
            } else {
                AddWidePieces(lo, hi, h, live, cells, out, local);
            }
        }
    }
    // The running height and the cells' coverages four at a time; the table
    // lookups stay scalar.
    const std::uint32_t* logOf = LogTable().data();
    std::uint32_t* cell = sums + c.first;
    __m128 run = _mm_set1_ps(c.base + HorizontalSum(off));
    for (std::int32_t x = 0; x < cells; x += 4) {
        __m128 d = _mm_loadu_ps(local + x);
        d = _mm_add_ps(d, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(d), 4)));
        d = _mm_add_ps(d, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(d), 8)));
        d = _mm_add_ps(d, run);
        run = _mm_shuffle_ps(d, d, _MM_SHUFFLE(3, 3, 3, 3));
        AddLogsOfFour(cell + x, _mm_add_ps(_mm_loadu_ps(out + x), d), logOf, cells - x);
    }
    return true;
}
#endif

}  // namespace qv::fill
