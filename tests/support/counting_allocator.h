// A test program that links counting_allocator.cpp counts every plain
// allocation, so that a test can show a stretch of code allocates nothing.
#pragma once

#include <atomic>
#include <cstddef>

namespace qv::test {
extern std::atomic<std::size_t> allocationCount;
}  // namespace qv::test
