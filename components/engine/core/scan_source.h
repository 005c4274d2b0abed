// The seam between how entries are found and how they are counted.
//
// A scan is a ScanSource that finds entries (the folder walk over a
// DirectoryReader, the file table held in memory, ...) and one ScanFeed that
// counts them: the counting rules through the source's Tallies, the
// identities of hard-linked data, the top lists, the kept tree, the progress
// counters and the folder shown, cancellation, and the ScanResult. A source
// knows nothing of what the counts become; the feed knows nothing of where
// entries come from.
//
// Lifetimes: both are made for one scan (Scanner makes them in Start) and
// live until its result is taken or the scanner goes. The feed outlives the
// source: Join has returned before the source is destroyed, and the source
// before the feed. The Tallies belong to the feed (until End, which merges
// and frees them); a source holds references to them while it runs. The
// FolderNodes a tally keeps may outlive the source, so a source lets go of
// whatever of its own a node refers to (the walk's parent_handle) before it
// completes the folder.
//
// Threading: Begin, Join and the feed's Wait, Finished and TakeResult belong
// to the controlling thread; Cancel and Wake may come from any thread, also
// while Begin runs; the source's own threads call the feed's counting side
// (Counted, ShowFolder, Stopping, Stop, End), each Tally from one thread at a
// time. End is called exactly once, by whichever thread of the source is the
// last to feed anything, possibly inside Begin.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/folder_node.h"
#include "core/scanner.h"
#include "core/tally.h"

namespace orvane::engine {

// Held only while a path is copied in or out, never during I/O.
class SpinLock {
public:
    void lock() noexcept {
        while (flag_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
    }
    void unlock() noexcept { flag_.clear(std::memory_order_release); }

private:
    std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

// What a progress display reads. It outlives every scan of one Scanner, so a
// reader never meets a scan that has gone.
struct ProgressBoard {
    std::atomic<std::uint64_t> entries{0};
    std::atomic<std::uint64_t> allocated{0};
    std::atomic<bool> running{false};
    mutable SpinLock path_lock;
    NativeString current_folder;

    void Clear();
    ScanProgress Read() const;
};

class ScanFeed {
public:
    ScanFeed(const ScanOptions& options, NativeChar separator, ProgressBoard& board,
             const NativeString& root);
    ScanFeed(const ScanFeed&) = delete;
    ScanFeed& operator=(const ScanFeed&) = delete;

    // --- The source's side.
    const ScanOptions& options() const { return options_; }
    TallyShared& shared() { return shared_; }
    // A counter for one thread of the source, owned by the feed until End.
    Tally& AddTally();
    // Counts the starting folder with `tally` and shows the scan as running.
    FolderRef Root(Tally& tally, const NativeString& root, const EntryStats& self);
    // The starting folder could not be opened: the scan ends here (End included).
    void RootUnreadable(OpenError error, int system_error);
    // Entries handed to a Tally, for the running count.
    void Counted(std::uint64_t entries, std::uint64_t allocated_bytes);
    // Shows `folder` as the one being read, unless another was shown too
    // recently (false then); `scratch` is the caller's buffer for its path.
    bool ShowFolder(const FolderNode& folder, NativeString& scratch);
    // Cancelled, out of memory, or stopped by the source: feed no more.
    bool Stopping() const;
    // The source cannot go on for lack of a resource of its own
    // (kNoWorkerThread, kOutOfFileDescriptors); the status says so.
    void Stop(ScanStatus reason);
    // Nothing more will be fed: merges the tallies into the result, wakes
    // the controlling thread and calls on_finished. `threads` ran the scan.
    void End(unsigned threads);

    // --- The controlling side.
    void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool Wait(std::chrono::milliseconds timeout);
    bool Finished() const;
    // Waits for End and hands over the result (once).
    ScanResult TakeResult();

private:
    using Clock = std::chrono::steady_clock;

    void MergeTallies();
    ScanStatus EndStatus() const;

    const ScanOptions& options_;
    const NativeChar separator_;
    ProgressBoard& board_;
    TallyShared shared_;
    Clock::time_point started_;
    std::mutex tallies_mutex_;
    std::vector<std::unique_ptr<Tally>> tallies_;

    std::atomic<bool> cancelled_{false};
    std::atomic<ScanStatus> stopped_for_{ScanStatus::kCompleted};
    std::atomic<Clock::rep> last_shown_{0};
    std::atomic<Clock::rep> show_cost_{0};  // how long the last shown path took to build

    mutable std::mutex finish_mutex_;
    std::condition_variable finish_cv_;
    bool finished_ = false;
    ScanResult result_;
};

// One way of finding entries, made for one scan.
class ScanSource {
public:
    virtual ~ScanSource() = default;

    // The separator of the full paths the report shows.
    virtual NativeChar Separator() const = 0;
    // Opens `root` and starts feeding `feed`, then returns; the feeding may
    // go on on threads of the source's own. False when the scan already
    // ended here without its starting folder (unreadable, or no memory).
    virtual bool Begin(const NativeString& root, ScanFeed& feed) = 0;
    // The feed is stopping (a cancel): whatever waits should look again.
    virtual void Wake() = 0;
    // Waits for the source's threads; after End, or after a Cancel and Wake.
    virtual void Join() = 0;
};

}  // namespace orvane::engine
