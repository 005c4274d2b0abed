// The replacement of the global operator new behind failing_allocator.h; the
// array forms and the nothrow forms of the library call these.
#include "failing_allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace orvane::engine::testing {
namespace {

std::atomic<bool> armed{false};
std::atomic<std::size_t> remaining{0};

bool ThisAllocationFails() {
    if (!armed.load(std::memory_order_relaxed)) return false;
    std::size_t left = remaining.load(std::memory_order_relaxed);
    while (left > 0 && !remaining.compare_exchange_weak(left, left - 1)) {
    }
    return left == 0;
}

}  // namespace

void FailAllocationsAfter(std::size_t allowed) {
    remaining.store(allowed);
    armed.store(true);
}

void StopFailingAllocations() { armed.store(false); }

}  // namespace orvane::engine::testing

void* operator new(std::size_t size) {
    if (orvane::engine::testing::ThisAllocationFails()) throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
