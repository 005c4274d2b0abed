// The counting side of a scan, shared by every way of finding entries.
#include <algorithm>
#include <new>
#include <utility>

#include "core/scan_source.h"

namespace orvane::engine {
namespace {

// Why a scan ended, the weightier reason first: a shortage weighs more than
// a cancel that may have come with it.
int Weight(ScanStatus status) {
    switch (status) {
        case ScanStatus::kNoWorkerThread:
            return 4;
        case ScanStatus::kOutOfMemory:
            return 3;
        case ScanStatus::kOutOfFileDescriptors:
            return 2;
        case ScanStatus::kCancelled:
            return 1;
        default:
            return 0;
    }
}

// Building shown paths takes at most about a twentieth of the scan's time.
constexpr std::chrono::steady_clock::rep kShowCostFactor = 20;
constexpr std::chrono::steady_clock::rep kShowInterval =
    std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::milliseconds(10))
        .count();

}  // namespace

void ProgressBoard::Clear() {
    entries.store(0);
    allocated.store(0);
    std::lock_guard lock(path_lock);
    current_folder.clear();
}

ScanProgress ProgressBoard::Read() const {
    ScanProgress progress;
    {
        std::lock_guard lock(path_lock);
        try {
            progress.current_folder = current_folder;
        } catch (const std::bad_alloc&) {
            // The counters still tell the story; the folder's name waits for memory.
        }
    }
    progress.entries = entries.load(std::memory_order_relaxed);
    progress.allocated_bytes = allocated.load(std::memory_order_relaxed);
    progress.running = running.load();
    return progress;
}

ScanFeed::ScanFeed(const ScanOptions& options, NativeChar separator, ProgressBoard& board,
                   const NativeString& root)
    : options_(options), separator_(separator), board_(board), shared_(options, separator) {
    result_.root = root;
    result_.started_at = std::chrono::system_clock::now();
    started_ = Clock::now();
}

Tally& ScanFeed::AddTally() {
    std::lock_guard lock(tallies_mutex_);
    tallies_.push_back(std::make_unique<Tally>(shared_));
    return *tallies_.back();
}

FolderRef ScanFeed::Root(Tally& tally, const NativeString& root, const EntryStats& self) {
    FolderRef folder = tally.StartRoot(root, self);
    board_.entries.store(1);
    board_.allocated.store(self.allocated_bytes);
    board_.running.store(true);
    return folder;
}

void ScanFeed::RootUnreadable(OpenError error, int system_error) {
    result_.status = ScanStatus::kRootUnreadable;
    result_.root_error = error;
    result_.root_system_error = system_error;
    End(0);
}

void ScanFeed::Counted(std::uint64_t entries, std::uint64_t allocated_bytes) {
    board_.entries.fetch_add(entries, std::memory_order_relaxed);
    AddSaturating(board_.allocated, allocated_bytes);
}

// A display polls a few times a second, and building the path of every
// folder would cost more than the scan on deep trees. The pause after a path
// also grows with what building it cost: on a busy machine a deep chain's
// path can take longer than the interval itself, and every folder would then
// rebuild it (quadratic in the depth).
bool ScanFeed::ShowFolder(const FolderNode& folder, NativeString& scratch) {
    auto now = Clock::now().time_since_epoch().count();
    auto last = last_shown_.load(std::memory_order_relaxed);
    const auto pause =
        std::max(kShowInterval, kShowCostFactor * show_cost_.load(std::memory_order_relaxed));
    if (last != 0 && now - last < pause) return false;
    if (!last_shown_.compare_exchange_strong(last, now, std::memory_order_relaxed)) return false;
    BuildFullPath(folder, separator_, scratch);
    show_cost_.store(Clock::now().time_since_epoch().count() - now, std::memory_order_relaxed);
    std::lock_guard lock(board_.path_lock);
    board_.current_folder.swap(scratch);
    return true;
}

bool ScanFeed::Stopping() const {
    return cancelled_.load(std::memory_order_relaxed) || shared_.OutOfMemory() ||
           stopped_for_.load(std::memory_order_relaxed) != ScanStatus::kCompleted;
}

void ScanFeed::Stop(ScanStatus reason) {
    ScanStatus seen = stopped_for_.load();
    while (Weight(reason) > Weight(seen) && !stopped_for_.compare_exchange_weak(seen, reason)) {
    }
}

void ScanFeed::End(unsigned threads) {
    result_.totals.duration = Clock::now() - started_;
    result_.threads = threads;
    if (result_.status != ScanStatus::kRootUnreadable) {
        MergeTallies();
        result_.status = EndStatus();
    }
    board_.running.store(false);
    {
        std::lock_guard lock(finish_mutex_);
        finished_ = true;
    }
    finish_cv_.notify_all();
    if (options_.on_finished) options_.on_finished();
}

void ScanFeed::MergeTallies() {
    std::lock_guard lock(tallies_mutex_);
    try {
        std::vector<Tally*> tallies;
        tallies.reserve(tallies_.size());
        for (auto& tally : tallies_) tallies.push_back(tally.get());
        Tally::Merge(tallies, shared_, result_);
    } catch (const std::bad_alloc&) {
        // The totals come first and are kept; lists half built are not.
        result_.largest_folders.clear();
        result_.largest_files.clear();
        result_.largest_types.clear();
        result_.tree.folders.clear();
        shared_.NoteOutOfMemory();
    }
    tallies_.clear();  // the top lists' candidates go
}

ScanStatus ScanFeed::EndStatus() const {
    ScanStatus status = stopped_for_.load();
    if (shared_.OutOfMemory() && Weight(ScanStatus::kOutOfMemory) > Weight(status))
        status = ScanStatus::kOutOfMemory;
    if (cancelled_.load() && status == ScanStatus::kCompleted) status = ScanStatus::kCancelled;
    return status;
}

bool ScanFeed::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(finish_mutex_);
    return finish_cv_.wait_for(lock, timeout, [&] { return finished_; });
}

bool ScanFeed::Finished() const {
    std::lock_guard lock(finish_mutex_);
    return finished_;
}

ScanResult ScanFeed::TakeResult() {
    {
        std::unique_lock lock(finish_mutex_);
        finish_cv_.wait(lock, [&] { return finished_; });
    }
    return std::move(result_);
}

}  // namespace orvane::engine
