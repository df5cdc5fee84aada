// Turns the signals that would end a run halfway into orderly failures, so
// the run can remove what it has not finished: Ctrl+C and SIGTERM are only
// noted, to be acted on between frames, and a file-size limit makes the
// write fail (EFBIG) instead of killing the process.
#pragma once

#include <csignal>

namespace qv::render {

class InterruptGuard {
public:
    InterruptGuard();   // installs the handlers and clears the note
    ~InterruptGuard();  // puts the earlier handlers back
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    static bool Interrupted() noexcept;

private:
    struct sigaction earlier_[3];  // SIGINT, SIGTERM, SIGXFSZ
};

}  // namespace qv::render
