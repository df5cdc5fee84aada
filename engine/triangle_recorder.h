// A sink that keeps every pass and its triangles, in draw order, for the
// vector and JSON outputs and for tests.
#pragma once

#include <vector>

#include "triangle_sink.h"

namespace qv {

struct RecordedPass {
    PassInfo info;
    std::vector<Triangle> triangles;
};

class TriangleRecorder final : public TriangleSink {
public:
    void BeginFrame(std::int32_t, std::int32_t) override { passes.clear(); }
    void BeginPass(const PassInfo& pass) override {
        passes.push_back(RecordedPass{pass, {}});
        passes.back().triangles.reserve(pass.lineCount);
    }
    void FillTriangle(const Triangle& t) override {
        if (passes.empty()) passes.push_back(RecordedPass{PassInfo{0.0f, 0, 0, 0}, {}});
        passes.back().triangles.push_back(t);
    }

    std::vector<RecordedPass> passes;
};

inline bool operator==(const Triangle& a, const Triangle& b) noexcept {
    return a.tipX == b.tipX && a.tipY == b.tipY && a.c1X == b.c1X && a.c1Y == b.c1Y && a.c2X == b.c2X &&
           a.c2Y == b.c2Y && a.argb == b.argb;
}

}  // namespace qv
