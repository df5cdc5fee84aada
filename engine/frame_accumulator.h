// The fast fill for whole frames.
//
// Every line of a frame has the same RGB and the frame starts transparent, so
// source-over of the lines commutes: the pixel's alpha is 1 - prod(1 - a_i c_i)
// whatever the order. The accumulator therefore adds -ln(1 - a_i c_i) per pixel
// in fixed point and converts the sums into premultiplied pixels once.
//
// The picture is swept row by row, not line by line: every line crossing the
// row writes into one small row buffer that stays in the first-level cache,
// and the finished row is stored into the surface once (which replaces the
// clear). Within a row a line is an inside span of constant coverage, kept as
// two differences, and one short run of cells at each side where its edges
// pass; those cells get their exact area coverage, and only when the row is
// not already opaque there from the inside spans of all the lines. Where all
// of a line's cells lie inside one or two drawn opaque neighbours, the line
// is skipped for those rows: it could not change a pixel.
//
// Far from the centre the insides of many lines overlap and every pixel is
// opaque whatever the details. The radius beyond which that holds in every
// direction is found per frame from the lines' shrunk triangles (their arcs
// on a circle around the centre only widen outward); beyond it the pixels
// are written opaque and each line is swept only where it comes nearer.
//
// The blur passes draw the same lines nested inside each other (same corners,
// tips further out). A point inside pass k is inside every earlier pass, so a
// line's alpha there is 1 - T_k, T_k the product of (1 - a_j) over j <= k.
// That makes the line's alpha linear in the coverages, sum_k (T_{k-1} - T_k) c_k:
// the twelve triangles of a line are accumulated as one weighted shape, and
// their near-coincident edges do not darken each other the way twelve
// separately composited triangles would. The twelve edges on one side of a
// line all pass through the same outer corner, so away from the tips two of
// them bound all twelve, and the row costs little more than a plain line's.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "surface.h"
#include "triangle_sink.h"

namespace qv {

class FrameAccumulator final : public TriangleSink {
public:
    explicit FrameAccumulator(Surface& surface);
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

    // Vector instructions where the build has them (tests turn them off to
    // check the plain code gives the same picture).
    static bool vectorCode;

    // Far from the centre, where the lines' insides overlap so much that
    // every pixel is opaque whatever the details, the lines are not swept
    // and the pixels are written opaque (tests turn it off to check the
    // picture is the same).
    static bool farFieldShortcut;
    // In a blur shape's fade, rows where the line's two sides share their
    // cells are one cluster found without the general path (tests turn it
    // off to check the picture is the same).
    static bool fadeShortcut;
    // How many shape rows of the last frame were found that way.
    std::size_t FadeRowsJoined() const noexcept { return fadeRowsJoined_; }

    // The radius from the centre beyond which the last frame was known
    // opaque; infinity when it was swept whole.
    double SaturatedRadius() const noexcept { return saturatedRadius_; }

    // Fixed-point units of -ln(transmittance) per 1.0.
    static constexpr std::uint32_t kLogScale = 8192;

    // What a row needs of an active shape, kept together so that the sweep
    // reads the active shapes one after another.
    struct alignas(16) Active {
        // Left side low and high x, right side low and high x at segLo, and
        // their change per row, widened for single precision.
        float v[4], s[4];
        float heightL;      // coverage between the sides
        std::uint32_t q;    // its fixed-point log
        std::int32_t segLo, segHi, rowLast;
        std::uint32_t shape;
        std::uint16_t maskL, maskR;
    };

private:
    // One edge of one triangle: x = xAtTop + (y - yTop) * slope for y in
    // [yTop, yBottom], yTop < yBottom. weight is signed: the area to the
    // edge's right counts +weight when walking down.
    struct Edge {
        double yTop, yBottom;
        double xAtTop, slope;
        float weight;
        // The edge's piece within the rows [y0, y1]: its ends and weighted
        // height; false when it has none there.
        bool PieceIn(double y0, double y1, double& x0, double& x1, double& dy) const noexcept {
            const double top = y0 > yTop ? y0 : yTop, bottom = y1 < yBottom ? y1 : yBottom;
            if (!(bottom > top)) return false;
            x0 = xAtTop + (top - yTop) * slope;
            x1 = xAtTop + (bottom - yTop) * slope;
            dy = static_cast<double>(weight) * (bottom - top);
            return true;
        }
    };
    // The edges of one line in one role (tip to corner 1, corner 1 to
    // corner 2, corner 2 to tip), one per pass.
    struct Family {
        std::uint32_t begin = 0, end = 0;  // into edges_
        std::int32_t activeLo = 0, activeHi = 0;  // rows any member touches: [lo, hi)
        std::int32_t fastLo = 0, fastHi = 0;      // rows every member spans whole: [lo, hi)
        // In the fast rows the members lie within [loA + r*loS, hiA + r*hiS].
        double loA = 0, loS = 0, hiA = 0, hiS = 0;
        // In any row they lie within [cLoA + r*cLoS, cHiA + r*cHiS], r from activeLo.
        double cLoA = 0, cLoS = 0, cHiA = 0, cHiS = 0;
        float height = 0;  // signed weighted height of a whole row
        std::uint32_t soa = 0, soaEnd = 0;  // the members in soa_, padded to fours
        float yRef = 0;
    };
    // Member i: x + (y - yRef) * slope over [yTop, yBottom], with its weight.
    // Kept in groups of four, each group's five fields of four lanes side
    // by side, so that a family's members are a few cache lines in a row.
    struct Members {
        enum Field : std::size_t { kX, kSlope, kTop, kBottom, kWeight, kFields };
        static constexpr std::size_t kLanes = 4;
        static constexpr std::size_t kGroupFloats = kFields * kLanes;
        std::vector<float> data;
        std::size_t count = 0;
        void Push(float px, float ps, float pt, float pb, float pw) {
            if (count % kLanes == 0) data.resize(data.size() + kGroupFloats, 0.0f);
            float* g = data.data() + count / kLanes * kGroupFloats + count % kLanes;
            g[kX * kLanes] = px, g[kSlope * kLanes] = ps, g[kTop * kLanes] = pt, g[kBottom * kLanes] = pb;
            g[kWeight * kLanes] = pw;
            ++count;
        }
        // The group holding members [m, m + 4), m a multiple of four.
        const float* Group(std::size_t m) const { return data.data() + m / kLanes * kGroupFloats; }
        float At(std::size_t m, Field f) const { return Group(m)[f * kLanes + m % kLanes]; }
        void Clear() { data.clear(), count = 0; }
        std::size_t size() const { return count; }
    };
    struct Shape {
        Family family[3];
        std::int32_t rowFirst, rowLast;
        // Rows [segLo, segHi) where exactly two families are active, each
        // spanning the whole row: the line's left and right sides.
        std::int32_t segLo, segHi;
        std::uint32_t left, right;  // their family indices
        std::uint32_t members;      // triangles per family
    };
    // Set in a cluster's mask beside the family bits when its shape is plain.
    static constexpr std::uint32_t kPlainShape = 1u << 3;
    struct Cluster {  // cells of one row where a shape's edges pass
        std::uint32_t shape;
        std::int32_t first, last;
        float base;          // the shape's coverage just left of `first`
        std::uint32_t mask;  // families whose members pass here
    };
    struct Piece {  // rows [first, last] of a shape that the sweep visits
        std::uint32_t shape;
        std::int32_t first, last;
    };
    struct Item {  // one family's cells in one row
        std::int32_t first, last;
        std::uint32_t mask;
    };

    // A blur shape's fade: the rows where both sides' members begin one
    // after another, so that neither side spans every member's whole row,
    // while the third family is away. There the two sides' bounds are the
    // chords of the general path, kept in single precision like Active's.
    struct Fade {
        std::int32_t lo = 0, hi = 0;  // rows [lo, hi); empty when lo >= hi
        float v[4] = {}, s[4] = {};   // as Active::v and Active::s, from lo
    };

    void BuildShape(const Triangle* const* members, std::size_t count, const float* weights);
    void Sweep();
    // Both write the row's spans into acc and its clusters from out on, and
    // return the end of the clusters written.
    Cluster* SpansAndClusters(std::uint32_t shapeIndex, std::int32_t row, std::uint32_t* acc, Cluster* out);
    Cluster* FastRow(const Active& a, std::int32_t row, std::uint32_t* acc, Cluster* out);
    Cluster* FadeRow(const Active& a, const Fade& fade, std::int32_t row, std::uint32_t* acc, Cluster* out);
    Fade MakeFade(std::uint32_t shapeIndex) const;
    Active MakeActive(std::uint32_t shapeIndex) const;
    float RowHeight(const Family& f, std::int32_t row) const;
    void HideCoveredRows();
    void EdgeCells(const Cluster& c, std::int32_t row, std::uint32_t* acc);
    template <bool kInterior>
    bool EdgeCellsVector(const Cluster& c, std::int32_t row, std::uint32_t* acc);
    bool EdgeCellsSingle(const Cluster& c, std::int32_t row, std::uint32_t* acc);
    // Cells [keepFrom, keepTo) from their sums; the rest opaque.
    void ResolveRow(std::uint32_t* acc, std::uint32_t* pixels, std::int32_t keepFrom, std::int32_t keepTo) const;
    void ResolveCells(std::uint32_t* acc, std::uint32_t* pixels, std::int32_t count) const;
    void FindSaturatedRadius();
    bool RingCovered(double radius);
    void KeepRows(std::uint32_t shapeIndex, std::int32_t& first, std::int32_t& last) const;

    Surface* surface_;
    bool drawable_ = false;
    bool any_ = false;
    std::uint32_t rgb_ = 0;
    std::vector<std::vector<Triangle>> passes_;  // the first passCount_ are this frame's
    std::size_t passCount_ = 0;
    std::vector<const Triangle*> memberOf_;
    std::vector<float> weightOf_;
    std::vector<std::uint32_t> startOf_, order_, next_;  // pieces by first row
    std::vector<Active> sweepActive_;
    std::vector<Edge> edges_;
    // Three per shape: a plain (one-member) shape's edges by family, an
    // absent one empty, so that its edge cells read one small record.
    std::vector<Edge> plainEdges_;
    std::vector<Shape> shapes_;
    std::vector<Cluster> clusters_;     // of the current row
    std::vector<Active> actives_;       // one per shape
    std::vector<Fade> fades_;           // one per shape
    std::size_t fadeRowsJoined_ = 0;
    std::vector<std::uint32_t> openList_;
    std::vector<Piece> pieces_;
    struct Rows {
        std::int32_t lo, hi;
    };
    std::vector<Rows> hidden_;          // per shape: rows it adds nothing to
    // The far field: each shape's member triangles (pixel-centre
    // coordinates), their summed weight, and what the inside they share
    // covers of a circle around the centre.
    struct Corners {
        double x[3], y[3];
    };
    struct Outline {
        std::uint32_t first, count;  // into outlineCorners_
        float weight;
    };
    struct RingSide {
        double angle, offset;  // inward normal, and the centre's distance outside the side
    };
    struct RingArc {
        double reference;             // the line's outward direction
        std::uint32_t first, count;   // its sides in ringSides_
        std::uint32_t q;
    };
    std::vector<Corners> outlineCorners_;
    std::vector<Outline> outlines_;     // per shape
    std::vector<RingSide> ringSides_;
    std::vector<RingArc> ringArcs_;     // the lines whose insides widen outward
    std::vector<std::uint32_t> ringSums_;
    std::vector<double> ringReach_;  // per angular bin: how far from the centre the picture reaches
    std::array<double, 4> ringReachKey_{};  // the centre and size ringReach_ was found for
    bool haveCentre_ = false;
    double centreX_ = 0.0, centreY_ = 0.0;
    double saturatedRadius_ = 0.0;
    // The last frame's radius: frames in a row mostly share it, and two
    // checks around it then stand for the whole search.
    double radiusHint_ = 0.0;
    std::vector<float> cover_;          // width + 2 cells of scratch
    std::vector<float> pieceLo_, pieceHi_, pieceH_, cells_;
    Members soa_;  // every family's members, by Family::soa
    std::vector<std::uint32_t> acc_;    // the row being built, width + 1 cells
    std::vector<std::uint32_t> open_;   // open cells before each cell, width + 1
    std::uint32_t pixelOf_[256] = {};
    std::vector<std::uint32_t> pixelOfSum_;  // by quantised sum, up to saturation
};

}  // namespace qv
