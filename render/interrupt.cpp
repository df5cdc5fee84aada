#include "interrupt.h"

#include <csignal>

namespace qv::render {

namespace {

// A signal handler can reach nothing but a global; this is the only one.
volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt(int) { gInterrupted = 1; }

void Install(int signal, void (*handler)(int), struct sigaction* earlier) {
    sigaction(signal, nullptr, earlier);
    // A signal the caller ignores (nohup, a background job of a script)
    // stays ignored.
    if (earlier->sa_handler == SIG_IGN) return;
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a write blocked on a stalled pipe returns EINTR, so
    // Ctrl+C is not held up by a reader that stopped reading.
    action.sa_flags = 0;
    sigaction(signal, &action, nullptr);
}

}  // namespace

InterruptGuard::InterruptGuard() {
    gInterrupted = 0;
    Install(SIGINT, &OnInterrupt, &earlier_[0]);
    Install(SIGTERM, &OnInterrupt, &earlier_[1]);
    Install(SIGXFSZ, SIG_IGN, &earlier_[2]);
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGINT, &earlier_[0], nullptr);
    sigaction(SIGTERM, &earlier_[1], nullptr);
    sigaction(SIGXFSZ, &earlier_[2], nullptr);
}

bool InterruptGuard::Interrupted() noexcept { return gInterrupted != 0; }

}  // namespace qv::render
