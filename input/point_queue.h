// The cursor queue between the input hooks and the overlay window. The
// hooks append points; the overlay drains them and takes only the newest,
// so a burst of moves costs one frame. The caller holds the queue lock
// around every Append and Drain; the queue itself knows nothing of locks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

struct QueuedPoint {
    std::int32_t x = 0;  // screen pixels, which are overlay pixels
    std::int32_t y = 0;
};

struct DrainResult {
    std::size_t count = 0;  // points that were waiting
    QueuedPoint newest;     // meaningful when count >= 1
};

class PointQueue {
public:
    // Adds the point at the end. Storage grows by half its capacity (at
    // least one element) when full and is kept after a drain, so steady use
    // allocates nothing. When no storage can be had the point is dropped and
    // false comes back: a hook must not throw into the system.
    bool Append(QueuedPoint point) noexcept;

    // Empties the queue, keeping its storage.
    DrainResult Drain() noexcept;

    std::size_t size() const noexcept { return points_.size(); }
    std::size_t capacity() const noexcept { return points_.capacity(); }

private:
    std::vector<QueuedPoint> points_;
};

}  // namespace qv
