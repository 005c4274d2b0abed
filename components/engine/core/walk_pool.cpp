#include "core/walk_pool.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

#include "orvane/cpu_time.h"

namespace orvane::engine {
namespace {

// How often the pool may grow: soon, since a cold scan runs slowly until it
// does, yet long enough that the CPU time of threads running on another core,
// added up once per clock tick, is off by a tenth at most (warm scans use 95%
// of the cores; growing needs under 80%).
constexpr std::chrono::steady_clock::duration kReviewWindow =
    std::max<std::chrono::steady_clock::duration>(std::chrono::milliseconds(20),
                                                  8 * orvane::kProcessCpuTimeStep);

// A fixed count starts every worker at once and never grows.
PoolGrowth PoolFor(const ScanOptions& options) {
    if (options.threads) return PoolGrowth(options.threads, options.threads);
    return PoolGrowth(std::thread::hardware_concurrency(), MostWorkerCount());
}

}  // namespace

unsigned MostWorkerCount() {
    // Each worker has one request in flight (a listing, an open or a stat)
    // whatever the backend. Measured on 2 cores (docs/report-format.md): cold,
    // 16 to 64 workers took half the time of 2, level with each other; on a
    // throttled device 2 to 32 were level. So a slow device sees no more
    // requests than this, and a large machine keeps one per hardware thread.
    constexpr unsigned kRequestsInFlight = 32;
    constexpr unsigned kMostThreads = 64;
    return std::clamp(std::thread::hardware_concurrency(), kRequestsInFlight, kMostThreads);
}

WalkPool::WalkPool(const ScanOptions& options, ScanFeed& feed, WorkScheduler& scheduler,
                   std::function<void(unsigned)> body)
    : feed_(feed), scheduler_(scheduler), body_(std::move(body)), growth_(PoolFor(options)) {
    // Reserved in full: a worker that starts another never moves the others.
    threads_.reserve(growth_.most());
}

void WalkPool::StartFirst() {
    const unsigned wanted = std::min(growth_.cores(), growth_.most());
    const Clock::time_point now = Clock::now();
    last_review_ = now;
    cpu_at_last_review_ = orvane::ProcessCpuTime();
    next_review_.store((now + kReviewWindow).time_since_epoch().count());
    // The starter holds one count, so a worker that is done early cannot
    // end the walk while others are still being started.
    active_.store(wanted + 1);
    unsigned started = 0;
    {
        std::lock_guard lock(grow_mutex_);
        for (; started < wanted; ++started) {
            if (!StartThread(started)) break;
        }
        started_.store(started);
        if (started < wanted) growth_stopped_ = true;
    }
    if (started == 0) feed_.Stop(ScanStatus::kNoWorkerThread);
    const unsigned release = wanted - started + 1;
    if (active_.fetch_sub(release) == release) feed_.End(started_.load());
}

void WalkPool::MaybeGrow() {
    if (started_.load(std::memory_order_relaxed) >= growth_.most()) return;
    const Clock::rep now = Clock::now().time_since_epoch().count();
    Clock::rep due = next_review_.load(std::memory_order_relaxed);
    if (now < due) return;
    const Clock::rep next = now + kReviewWindow.count();
    if (!next_review_.compare_exchange_strong(due, next, std::memory_order_relaxed)) return;
    Grow(Clock::time_point(Clock::duration(now)));
}

// Starts the workers the last window's CPU time asks for. Runs on a worker,
// which holds its own count, so the walk cannot end meanwhile.
void WalkPool::Grow(Clock::time_point now) {
    std::unique_lock lock(grow_mutex_, std::try_to_lock);
    if (!lock.owns_lock() || growth_stopped_ || feed_.Stopping()) return;
    const std::chrono::nanoseconds cpu = orvane::ProcessCpuTime();
    const auto wall = std::chrono::duration_cast<std::chrono::nanoseconds>(now - last_review_);
    const std::chrono::nanoseconds used = cpu - cpu_at_last_review_;
    last_review_ = now;
    cpu_at_last_review_ = cpu;
    unsigned started = started_.load(std::memory_order_relaxed);
    const unsigned target = growth_.Target(wall, used, started, scheduler_.WorkWaiting());
    for (; started < target; ++started) {
        active_.fetch_add(1);
        if (!StartThread(started)) {
            active_.fetch_sub(1);
            growth_stopped_ = true;  // the system's limit: the walk goes on with these
            break;
        }
    }
    started_.store(started);
}

bool WalkPool::StartThread(unsigned index) {
    try {
        threads_.emplace_back([this, index] {
            body_(index);
            Leave();
        });
        return true;
    } catch (const std::system_error&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void WalkPool::Leave() {
    if (active_.fetch_sub(1) == 1) feed_.End(started_.load());
}

void WalkPool::Join() {
    {
        std::lock_guard lock(grow_mutex_);
        growth_stopped_ = true;  // no worker starts while they are joined
    }
    for (auto& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    threads_.clear();
}

}  // namespace orvane::engine
