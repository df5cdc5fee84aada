#include "fill_workers.h"

#include <system_error>

namespace qv::fill {

Workers::~Workers() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void Workers::Run(unsigned threads, Job job, void* context) {
    if (threads <= 1) {
        job(context, 0);
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        try {
            while (threads_.size() + 1 < threads) {
                const auto worker = static_cast<unsigned>(threads_.size() + 1);
                threads_.emplace_back([this, worker] { Loop(worker); });
            }
        } catch (const std::system_error&) {
            // The system would start no more: the frame makes do with those
            // it has, down to this thread alone.
            threads = static_cast<unsigned>(threads_.size() + 1);
        }
        job_ = job;
        context_ = context;
        taking_ = running_ = threads - 1;
        ++generation_;
    }
    wake_.notify_all();
    job(context, 0);
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return running_ == 0; });
}

void Workers::Loop(unsigned worker) {
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
        if (stop_) return;
        seen = generation_;
        if (worker > taking_) continue;  // a Run that asked for fewer threads
        const Job job = job_;
        void* const context = context_;
        lock.unlock();
        job(context, worker);
        lock.lock();
        if (--running_ == 0) done_.notify_one();
    }
}

}  // namespace qv::fill
