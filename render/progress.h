// The progress line of a long run: frame i of N, frames per second and the
// time left, redrawn in place on a terminal, silent everywhere else.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>

namespace qv::render {

// A run shorter than this never shows the line; it is redrawn at most
// every kProgressRedraw after.
inline constexpr std::chrono::milliseconds kProgressDelay{1000};
inline constexpr std::chrono::milliseconds kProgressRedraw{200};

class Progress {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // enabled: stderr is a terminal and --quiet was not given.
    Progress(std::FILE* err, bool enabled, int total, Clock clock = &std::chrono::steady_clock::now);

    ~Progress() { Clear(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void FramesDone(int done);
    void Clear();  // erases the line, if one was drawn, before the last words

private:
    std::FILE* err_;
    bool enabled_;
    int total_;
    Clock clock_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
    bool drawn_ = false;
};

}  // namespace qv::render
