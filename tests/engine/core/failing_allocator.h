// Makes the process's allocations fail on demand, so a test can see what the
// scanner does when memory runs out at any point: every operator new from
// the armed moment on throws std::bad_alloc, on every thread, until disarmed.
#pragma once

#include <cstddef>

namespace orvane::engine::testing {

// Lets `allowed` more allocations succeed, then fails all of them.
void FailAllocationsAfter(std::size_t allowed);
void StopFailingAllocations();

// Fails allocations for the lifetime of the object.
class AllocationsFail {
public:
    explicit AllocationsFail(std::size_t allowed = 0) { FailAllocationsAfter(allowed); }
    ~AllocationsFail() { StopFailingAllocations(); }
    AllocationsFail(const AllocationsFail&) = delete;
    AllocationsFail& operator=(const AllocationsFail&) = delete;
};

}  // namespace orvane::engine::testing
