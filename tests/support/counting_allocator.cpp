// operator new, counted. Kept apart from the tests that read the count, so
// that the compiler does not see the replacement inlined into the allocators.
#include "counting_allocator.h"

#include <cstdlib>
#include <new>

std::atomic<std::size_t> qv::test::allocationCount{0};

void* operator new(std::size_t size) {
    qv::test::allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
