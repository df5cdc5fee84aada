#include "fill_row_spans.h"

#include <algorithm>
#include <cmath>

#include "fill_log_domain.h"
#include "fill_simd.h"

namespace qv::fill {

namespace {

// Single-precision bounds are widened by what rounding can lose:
// kFloatMargin plus kFloatError of the magnitudes involved. Beyond
// kMaxFloatMargin the general way, in double, takes the shape.
constexpr double kFloatMargin = 1.0 / 256.0;
constexpr double kFloatError = 1.0 / (1 << 21);
constexpr double kMaxFloatMargin = 1.0 / 8.0;

// One side's low and high bounds at r rows into their run, widened for
// single precision over `rows` rows into at[0, 2) and perRow[0, 2); false
// when the side is too far or steep for single precision.
bool SingleSide(const RowLine& low, const RowLine& high, double r, double rows, float* at, float* perRow) {
    const RowLine* bound[2] = {&low, &high};
    for (int b = 0; b < 2; ++b) {
        const double x = bound[b]->At(r), per = bound[b]->perRow;
        const double margin = kFloatMargin + (std::fabs(x) + rows * std::fabs(per)) * kFloatError;
        if (!(margin < kMaxFloatMargin)) return false;
        at[b] = static_cast<float>(b == 0 ? x - margin : x + margin);
        perRow[b] = static_cast<float>(per);
    }
    return true;
}

// The cell holding x, for x already known to overlap [0, width).
std::int32_t CellOf(double x, std::int32_t width) {
    if (!(x > 0.0)) return 0;
    if (x >= width) return width - 1;
    return static_cast<std::int32_t>(x);
}

struct Item {  // one family's cells in one row, [first, last]
    std::int32_t first, last;
    std::uint32_t mask;
};

// Families whose cells overlap are one cluster: the items sorted by their
// first cell and merged in place; returns how many are left.
int MergeOverlapping(Item* items, int count) {
    for (int i = 1; i < count; ++i) {
        for (int j = i; j > 0 && items[j].first < items[j - 1].first; --j) std::swap(items[j], items[j - 1]);
    }
    int merged = 0;
    for (int i = 0; i < count; ++i) {
        if (merged > 0 && items[i].first <= items[merged - 1].last) {
            Item& m = items[merged - 1];
            m.last = std::max(m.last, items[i].last);
            m.mask |= items[i].mask;
        } else {
            items[merged++] = items[i];
        }
    }
    return merged;
}

}  // namespace

void RowSpans::Prepare(const LineShapes& lines, std::int32_t width, bool vectorCode,
                       bool joinedSidesShortcut) {
    lines_ = &lines;
    width_ = width;
    vectorCode_ = vectorCode;
    const auto count = static_cast<std::uint32_t>(lines.shapes.size());
    actives_.clear();
    actives_.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) actives_.push_back(MakeActive(i));
    joinedSides_.clear();
    joinedSides_.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
        joinedSides_.push_back(joinedSidesShortcut ? MakeJoinedSides(i) : JoinedSides{});
}

Active RowSpans::MakeActive(std::uint32_t shapeIndex) const {
    const Shape& shape = lines_->shapes[shapeIndex];
    Active a{};
    a.shape = shapeIndex;
    a.rowHi = shape.rowHi;
    a.sidesLo = shape.sidesLo;
    a.sidesHi = shape.sidesHi;
    if (a.sidesLo >= a.sidesHi) return a;
    const std::uint32_t side[2] = {shape.left, shape.right};
    const double rows = a.sidesHi - a.sidesLo;
    for (int k = 0; k < 2; ++k) {
        const Family& f = shape.family[side[k]];
        if (!SingleSide(f.fastLow, f.fastHigh, a.sidesLo - f.fastLo, rows, a.sideAt + 2 * k,
                        a.sidePerRow + 2 * k)) {
            a.sidesLo = a.sidesHi = 0;  // far or steep beyond single precision: the general way
            return a;
        }
    }
    a.insideCoverage = shape.family[shape.left].height;
    a.insideLog = LogOf(LogTable().data(), a.insideCoverage);
    const std::uint32_t plain = shape.members == 1 ? kPlainShape : 0u;
    a.leftMask = static_cast<std::uint16_t>((1u << shape.left) | plain);
    a.rightMask = static_cast<std::uint16_t>((1u << shape.right) | plain);
    return a;
}

JoinedSides RowSpans::MakeJoinedSides(std::uint32_t shapeIndex) const {
    const Shape& shape = lines_->shapes[shapeIndex];
    if (shape.members < 2 || shape.sidesLo >= shape.sidesHi)
        return JoinedSides{};  // no gradation, or sides unknown
    const Family& l = shape.family[shape.left];
    const Family& r = shape.family[shape.right];
    const Family& third = shape.family[3 - shape.left - shape.right];
    // Rows both sides cross and neither crosses whole: the tips' side of the
    // rows both sides cross whole.
    const std::int32_t bothLo = std::max(l.activeLo, r.activeLo), bothHi = std::min(l.activeHi, r.activeHi);
    const std::int32_t wholeLo = std::min(l.fastLo, r.fastLo), wholeHi = std::max(l.fastHi, r.fastHi);
    std::int32_t lo = bothLo, hi = std::min(bothHi, wholeLo);
    if (std::max(bothLo, wholeHi) < bothHi && bothHi - std::max(bothLo, wholeHi) > hi - lo) {
        lo = std::max(bothLo, wholeHi);
        hi = bothHi;
    }
    // Away from the third family's rows.
    if (!third.Empty()) CutAway(third.activeLo, third.activeHi, lo, hi);
    if (lo >= hi) return JoinedSides{};
    JoinedSides joined;
    const Family* side[2] = {&l, &r};
    for (int k = 0; k < 2; ++k) {
        const Family& f = *side[k];
        if (!SingleSide(f.anyLow, f.anyHigh, lo - f.activeLo, hi - lo, joined.sideAt + 2 * k,
                        joined.sidePerRow + 2 * k)) {
            return JoinedSides{};
        }
    }
    joined.lo = lo;
    joined.hi = hi;
    return joined;
}

Cluster* RowSpans::Row(std::vector<Active>& active, std::int32_t row, std::uint32_t* sums, Cluster* out,
                       std::size_t& joinedSidesRows) const {
    // The order of the shapes does not matter: a finished one is replaced
    // by the last, which has not been visited in this row yet.
    std::size_t count = active.size();
    for (std::size_t i = 0; i < count;) {
        const Active& a = active[i];
        if (row >= a.sidesLo && row < a.sidesHi) {
            out = SidesRow(a, row, sums, out);
        } else if (const JoinedSides& joined = joinedSides_[a.shape]; row >= joined.lo && row < joined.hi) {
            out = JoinedSidesRow(a, joined, row, sums, out, joinedSidesRows);
        } else {
            out = GeneralRow(a.shape, row, sums, out);
        }
        if (a.rowHi > row + 1) {
            ++i;
        } else {
            active[i] = active[--count];
        }
    }
    active.resize(count);
    return out;
}

// A row where the shape is its two sides: the cells each side crosses, and
// the constant inside between them.
inline Cluster* RowSpans::SidesRow(const Active& a, std::int32_t row, std::uint32_t* sums,
                                   Cluster* out) const {
    const float r = static_cast<float>(row - a.sidesLo);
    const std::int32_t width = width_;
    const float w = static_cast<float>(width);
    float b[4];
    std::int32_t cell[4];
#if QV_FILL_SSE2
    const __m128 at =
        _mm_add_ps(_mm_load_ps(a.sideAt), _mm_mul_ps(_mm_set1_ps(r), _mm_load_ps(a.sidePerRow)));
    _mm_storeu_ps(b, at);
    // Cells in [-1, width]: -1 left of the picture, width right of it.
    const __m128 clamped = _mm_min_ps(_mm_max_ps(at, _mm_set1_ps(-1.0f)), _mm_set1_ps(w));
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(cell),
        _mm_sub_epi32(TruncateToInt32(_mm_add_ps(clamped, _mm_set1_ps(1.0f))), _mm_set1_epi32(1)));
#else
    for (int i = 0; i < 4; ++i) {
        b[i] = a.sideAt[i] + r * a.sidePerRow[i];
        cell[i] = static_cast<std::int32_t>(std::min(std::max(b[i], -1.0f), w) + 1.0f) - 1;
    }
#endif
    const float lowL = b[0], highL = b[1], lowR = b[2], highR = b[3];
    if (highR <= 0.0f || lowL >= w) return out;  // wholly left or right of the picture
    if (lowR < lowL || highR < highL)
        return GeneralRow(a.shape, row, sums, out);  // let the general way sort them
    const std::int32_t firstL = cell[0], lastL = cell[1], firstR = cell[2], lastR = cell[3];
    if (firstR <= lastL) {
        *out++ = Cluster{a.shape, std::max(firstL, 0), std::min(std::max(lastL, lastR), width - 1), 0.0f,
                         static_cast<std::uint32_t>(a.leftMask | a.rightMask)};
        return out;
    }
    *out = Cluster{a.shape, std::max(firstL, 0), lastL, 0.0f, a.leftMask};
    out += lastL >= 0 ? 1 : 0;
    // lastL + 1 >= 0 and firstR <= width.
    if (firstR > lastL + 1) {
        sums[lastL + 1] += a.insideLog;
        sums[firstR] -= a.insideLog;
    }
    *out = Cluster{a.shape, firstR, std::min(lastR, width - 1), a.insideCoverage, a.rightMask};
    out += firstR < width ? 1 : 0;
    return out;
}

// A row of a blur shape's joined sides: its two sides' cells mostly overlap
// (the line is thin near its tips), and then the shape is one cluster with
// no inside span, which needs none of the general way's row heights.
// Anything else goes the general way.
Cluster* RowSpans::JoinedSidesRow(const Active& a, const JoinedSides& joined, std::int32_t row,
                                  std::uint32_t* sums, Cluster* out, std::size_t& joinedSidesRows) const {
    const float r = static_cast<float>(row - joined.lo);
    const float w = static_cast<float>(width_);
    float b[4];
    for (int i = 0; i < 4; ++i) b[i] = joined.sideAt[i] + r * joined.sidePerRow[i];
    const float lowL = b[0], highL = b[1], lowR = b[2], highR = b[3];
    // Both sides inside the picture, where a cell is the floor.
    if (!(lowL > 0.0f && lowR > 0.0f && highL < w && highR < w)) return GeneralRow(a.shape, row, sums, out);
    const std::int32_t firstL = static_cast<std::int32_t>(lowL), lastL = static_cast<std::int32_t>(highL);
    const std::int32_t firstR = static_cast<std::int32_t>(lowR), lastR = static_cast<std::int32_t>(highR);
    if (std::max(firstL, firstR) > std::min(lastL, lastR)) return GeneralRow(a.shape, row, sums, out);
    const Shape& shape = lines_->shapes[a.shape];
    *out++ = Cluster{a.shape, std::min(firstL, firstR), std::max(lastL, lastR), 0.0f,
                     (1u << shape.left) | (1u << shape.right)};
    ++joinedSidesRows;
    return out;
}

Cluster* RowSpans::GeneralRow(std::uint32_t shapeIndex, std::int32_t row, std::uint32_t* sums,
                              Cluster* out) const {
    const Shape& shape = lines_->shapes[shapeIndex];
    const std::int32_t width = width_;
    const double w = width;
    Item items[3];
    int count = 0;
    std::uint32_t fastFamilies = 0, offLeft = 0, offRight = 0;
    for (std::uint32_t e = 0; e < 3; ++e) {
        const Family& f = shape.family[e];
        if (f.Empty() || row < f.activeLo || row >= f.activeHi) continue;
        double lo, hi;
        if (row >= f.fastLo && row < f.fastHi) {
            lo = f.fastLow.At(row - f.fastLo);
            hi = f.fastHigh.At(row - f.fastLo);
            fastFamilies |= 1u << e;
        } else {
            // A row where some member begins or ends: the chords bound the cells.
            lo = f.anyLow.At(row - f.activeLo);
            hi = f.anyHigh.At(row - f.activeLo);
        }
        if (hi <= 0.0) {
            offLeft |= 1u << e;
        } else if (lo < w) {
            items[count++] = Item{CellOf(lo, width), CellOf(hi, width), 1u << e};
        } else {
            offRight |= 1u << e;
        }
    }
    const int merged = MergeOverlapping(items, count);
    const std::uint32_t plain = shape.members == 1 ? kPlainShape : 0u;
    if (merged == 1 && offLeft == 0 && offRight == 0) {
        // Every family in one cluster: the shape's coverage is 0 on both
        // sides of it (the edges of a closed shape add up to nothing), so
        // there are no spans and the members' heights are not needed.
        *out++ = Cluster{shapeIndex, items[0].first, items[0].last, 0.0f, items[0].mask | plain};
        return out;
    }
    // The members' heights in the row sum to each family's weight.
    auto height = [&](std::uint32_t mask) {
        float h = 0.0f;
        for (std::uint32_t e = 0; e < 3; ++e) {
            if ((mask & (1u << e)) == 0) continue;
            const Family& f = shape.family[e];
            h += (fastFamilies & (1u << e)) != 0 ? f.height : RowHeight(f, row);
        }
        return h;
    };
    // Between the clusters the shape's coverage is constant: a span.
    const std::uint32_t* logOf = LogTable().data();
    float coverage = height(offLeft);  // of pieces left of the picture
    std::int32_t from = 0;
    auto span = [&](std::int32_t to) {
        if (to <= from) return;
        const std::uint32_t log = LogOf(logOf, coverage);
        if (log == 0) return;
        sums[from] += log;
        sums[to] -= log;
    };
    for (int i = 0; i < merged; ++i) {
        span(items[i].first);
        *out++ = Cluster{shapeIndex, items[i].first, items[i].last, coverage, items[i].mask | plain};
        coverage += height(items[i].mask);
        from = items[i].last + 1;
    }
    span(width);
    return out;
}

// The members' weighted heights within one row.
float RowSpans::RowHeight(const Family& f, std::int32_t row) const {
    const float y0 = static_cast<float>(row), y1 = y0 + 1.0f;
    const MemberGroups& groups = lines_->groups;
    std::uint32_t m = f.groupsBegin;
    float h = 0.0f;
#if QV_FILL_SSE2
    if (vectorCode_) {
        __m128 sum = _mm_setzero_ps();
        const __m128 top = _mm_set1_ps(y0), bottom = _mm_set1_ps(y1);
        for (; m < f.groupsEnd; m += 4) {
            const float* g = groups.Group(m);
            const __m128 part = _mm_sub_ps(_mm_min_ps(bottom, _mm_loadu_ps(g + MemberGroups::kBottom * 4)),
                                           _mm_max_ps(top, _mm_loadu_ps(g + MemberGroups::kTop * 4)));
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_max_ps(part, _mm_setzero_ps()),
                                             _mm_loadu_ps(g + MemberGroups::kWeight * 4)));
        }
        h = HorizontalSum(sum);
    }
#endif
    for (; m < f.groupsEnd; ++m) {
        const float part = std::min(y1, groups.At(m, MemberGroups::kBottom)) -
                           std::max(y0, groups.At(m, MemberGroups::kTop));
        if (part > 0.0f) h += part * groups.At(m, MemberGroups::kWeight);
    }
    return h;
}

}  // namespace qv::fill
