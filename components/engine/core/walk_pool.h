// The folder walk's threads. A warm walk is all computing: one worker per
// core is fastest. A cold one waits on the device for nearly every folder, so
// the pool starts one worker per core and, once per review window, starts
// more while cores sit idle with folders waiting (core/pool_growth.h), up to
// a bound that keeps a slow device from being flooded.
//
// The pool counts the workers inside the walk; the last one to leave ends
// the feed, so the walk ends exactly once whichever worker finishes last.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/pool_growth.h"
#include "core/scan_source.h"
#include "core/work_scheduler.h"

namespace orvane::engine {

class WalkPool {
public:
    // `body(i)` is worker i's whole life, i below most().
    WalkPool(const ScanOptions& options, ScanFeed& feed, WorkScheduler& scheduler,
             std::function<void(unsigned)> body);
    ~WalkPool() { Join(); }
    WalkPool(const WalkPool&) = delete;
    WalkPool& operator=(const WalkPool&) = delete;

    unsigned most() const { return growth_.most(); }
    // Starts one worker per core, as many as the system lets it (address
    // space and process limits); with none the feed ends at once.
    void StartFirst();
    // Called by the workers between requests; costs a clock read unless a
    // review is due.
    void MaybeGrow();
    // Lets no further worker start and waits for those that run.
    void Join();

private:
    using Clock = std::chrono::steady_clock;

    void Grow(Clock::time_point now);
    bool StartThread(unsigned index);
    void Leave();

    ScanFeed& feed_;
    WorkScheduler& scheduler_;
    std::function<void(unsigned)> body_;
    const PoolGrowth growth_;
    std::vector<std::thread> threads_;
    std::atomic<unsigned> active_{0};
    std::atomic<unsigned> started_{0};
    std::atomic<Clock::rep> next_review_{0};
    std::mutex grow_mutex_;  // guards what follows, and starting threads
    bool growth_stopped_ = false;
    Clock::time_point last_review_;
    std::chrono::nanoseconds cpu_at_last_review_{0};
};

}  // namespace orvane::engine
