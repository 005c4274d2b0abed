// How many workers a walk runs. A warm scan is all computing, in the kernel's
// caches: one worker per core is fastest, and more only queue for the cores.
// A cold scan, the first one of a drive, waits on the device for nearly every
// folder and inode: a worker then leaves its core idle, and only more workers,
// each with a request in flight, keep the device and the cores busy. So the
// walk starts with one worker per core and, once per window, compares the CPU
// time the process used with what its workers could have used: when cores
// sit idle with folders waiting, it starts more, up to a bound that keeps a
// slow device from being flooded.
#pragma once

#include <chrono>

namespace orvane::engine {

class PoolGrowth {
public:
    PoolGrowth(unsigned cores, unsigned most) : cores_(cores ? cores : 1), most_(most) {}

    unsigned cores() const { return cores_; }
    unsigned most() const { return most_; }

    // How many workers there should be, from the process's CPU time `cpu`
    // over the last `wall` of the walk, with `running` workers and work
    // waiting or not. Never fewer than `running`.
    unsigned Target(std::chrono::nanoseconds wall, std::chrono::nanoseconds cpu, unsigned running,
                    bool work_waiting) const;

private:
    unsigned cores_;
    unsigned most_;
};

}  // namespace orvane::engine
