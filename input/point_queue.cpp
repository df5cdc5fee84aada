#include "point_queue.h"

#include <new>
#include <stdexcept>

namespace qv {

bool PointQueue::Append(QueuedPoint point) noexcept {
    try {
        if (points_.size() == points_.capacity()) {
            const std::size_t capacity = points_.capacity();
            const std::size_t growth = capacity / 2 > 0 ? capacity / 2 : 1;
            points_.reserve(capacity + growth);
        }
        points_.push_back(point);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

DrainResult PointQueue::Drain() noexcept {
    DrainResult result;
    result.count = points_.size();
    if (result.count > 0) {
        result.newest = points_.back();
        points_.clear();
    }
    return result;
}

}  // namespace qv
