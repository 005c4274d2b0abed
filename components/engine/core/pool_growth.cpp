#include "core/pool_growth.h"

#include <algorithm>

namespace orvane::engine {
namespace {

// Below this share of the cores in use while work waits, the workers are
// waiting on the device. A warm scan uses them fully (0.95 on 2 cores); a
// cold one is CPU-heavy too, the kernel working for every read, but with one
// worker per core it left a third to a half of them idle.
constexpr double kBusyEnough = 0.8;

}  // namespace

unsigned PoolGrowth::Target(std::chrono::nanoseconds wall, std::chrono::nanoseconds cpu,
                            unsigned running, bool work_waiting) const {
    if (!work_waiting || running >= most_ || wall.count() <= 0) return running;
    // Work is waiting and a core has no worker at all.
    if (running < cores_) return std::min(cores_, most_);
    const double busy_cores = double(cpu.count()) / double(wall.count());
    if (busy_cores >= kBusyEnough * cores_) return running;
    // A device being waited on: on 2 cores 16, 32 and 64 workers took half
    // the time of 2 and were level with each other, while the steps between
    // would each cost a window. So the pool goes to its bound at once.
    return most_;
}

}  // namespace orvane::engine
