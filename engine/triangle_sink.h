// Where the focus-line pass sends its triangles: the rasteriser, or a
// recorder for the vector and JSON outputs. The geometry is computed once,
// in the pass; sinks only consume it.
#pragma once

#include <cstdint>

namespace qv {

struct Triangle {
    std::int32_t tipX, tipY;  // inner end, on the inner ellipse
    std::int32_t c1X, c1Y;    // outer corner on the side of the smaller angle
    std::int32_t c2X, c2Y;    // outer corner on the side of the larger angle
    std::uint32_t argb;       // straight (not premultiplied) 0xAARRGGBB
};

struct PassInfo {
    float spaceValue;
    std::uint8_t opacity;
    std::uint32_t rgb;  // 0x00RRGGBB shared by every line of the pass
    std::uint32_t lineCount;
    // The point the lines converge on; a sink that does not know it (a pass
    // fed by hand) leaves hasCentre false.
    float centreX = 0.0f, centreY = 0.0f;
    bool hasCentre = false;
};

class TriangleSink {
public:
    virtual ~TriangleSink() = default;
    // Called once per frame in place of the clear, after seeding.
    virtual void BeginFrame(std::int32_t width, std::int32_t height) { (void)width, (void)height; }
    virtual void BeginPass(const PassInfo& pass) { (void)pass; }
    virtual void FillTriangle(const Triangle& t) = 0;
    virtual void EndPass() {}
    virtual void EndFrame() {}
};

}  // namespace qv
