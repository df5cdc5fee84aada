#include "progress.h"

#include <cmath>
#include <string>

namespace qv::render {

namespace {

constexpr char kEraseLine[] = "\r\033[K";

// "frame 12 of 240, 8.5 frames/s, 27 s left"
std::string ProgressText(int done, int total, double seconds) {
    const double rate = seconds > 0.0 ? done / seconds : 0.0;
    char text[128];
    if (rate > 0.0) {
        const long left = std::lround((total - done) / rate);
        std::snprintf(text, sizeof text, "frame %d of %d, %.1f frames/s, %ld s left", done, total, rate,
                      left);
    } else {
        std::snprintf(text, sizeof text, "frame %d of %d", done, total);
    }
    return text;
}

}  // namespace

Progress::Progress(std::FILE* err, bool enabled, int total, Clock clock)
    : err_(err), enabled_(enabled), total_(total), clock_(std::move(clock)) {
    if (enabled_) start_ = lastDrawn_ = clock_();
}

void Progress::FramesDone(int done) {
    if (!enabled_) return;
    const auto now = clock_();
    if (now - start_ < kProgressDelay || (drawn_ && now - lastDrawn_ < kProgressRedraw)) return;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    std::fprintf(err_, "%s%s", kEraseLine, ProgressText(done, total_, seconds).c_str());
    std::fflush(err_);
    drawn_ = true;
    lastDrawn_ = now;
}

void Progress::Clear() {
    if (!drawn_) return;
    std::fputs(kEraseLine, err_);
    std::fflush(err_);
    drawn_ = false;
}

}  // namespace qv::render
