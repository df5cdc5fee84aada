// Worker threads for the sweep: a frame's rows are swept in batches, several
// at once. The threads are started when a frame first asks for them and kept
// for the next frames (a drag redraws many times a second, and a frame after
// the first allocates nothing); they are stopped when the owner goes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace qv::fill {

class Workers {
public:
    using Job = void (*)(void* context, unsigned worker);

    Workers() = default;
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // Calls job(context, w) once for each w in [0, threads), all at the same
    // time, w = 0 on the calling thread; returns when every call has
    // returned. With threads <= 1 it is a plain call.
    void Run(unsigned threads, Job job, void* context);

private:
    void Loop(unsigned worker);

    std::vector<std::thread> threads_;  // worker w is threads_[w - 1]
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::uint64_t generation_ = 0;  // one more per Run
    unsigned taking_ = 0;           // workers 1..taking_ take part in this Run
    unsigned running_ = 0;          // of them, those not finished yet
    Job job_ = nullptr;
    void* context_ = nullptr;
    bool stop_ = false;
};

}  // namespace qv::fill
