#include "core/scanner.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "orvane/cpu_time.h"
#include "core/folder_node.h"
#include "core/open_folders.h"
#include "core/pool_growth.h"
#include "core/tally.h"
#include "core/work_scheduler.h"

namespace orvane::engine {
namespace {

using Clock = std::chrono::steady_clock;

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

// Below this a batch is cheaper to complete alone than to share.
constexpr std::size_t kShareThreshold = 256;

// Out of descriptors, how long to wait for another worker's folder to close,
// and, with nothing left to close, how long without any folder opened or
// closed by another worker before giving up.
constexpr std::chrono::milliseconds kDescriptorWait{100};
constexpr std::chrono::milliseconds kLastDescriptorWait{1000};
// Parents' folders closed at a time to make room.
constexpr std::size_t kParentsToRelease = 8;

// How often the pool may grow: soon, since a cold scan runs slowly until it
// does, yet long enough that the CPU time of threads running on another core,
// added up once per clock tick, is off by a tenth at most (warm scans use 95%
// of the cores; growing needs under 80%).
constexpr Clock::duration kReviewWindow =
    std::max<Clock::duration>(std::chrono::milliseconds(20), 8 * orvane::kProcessCpuTimeStep);

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

// Counters the progress display reads; they outlive any one walk so that a
// reader never meets a destroyed walk.
struct Scanner::ProgressState {
    std::atomic<std::uint64_t> entries{0};
    std::atomic<std::uint64_t> allocated{0};
    std::atomic<bool> running{false};
    mutable SpinLock path_lock;
    NativeString current_folder;
};

// One scan: the workers take folders from the scheduler, read them through
// the backend and count what they list in their own tally.
class Scanner::Walk {
public:
    Walk(DirectoryReader& reader, const ScanOptions& options, ProgressState& progress)
        : reader_(reader),
          options_(options),
          progress_(progress),
          separator_(reader.Separator()),
          shared_(options, separator_),
          growth_(PoolFor(options)) {}

    ~Walk() {
        Cancel();
        JoinWorkers();
    }

    // Opens the root; false when it cannot be opened or memory ran out before
    // any worker started (the walk is then over).
    bool Begin(const NativeString& root) {
        try {
            return OpenRootAndStart(root);
        } catch (const std::bad_alloc&) {
            shared_.NoteOutOfMemory();
            Finish();
            return false;
        }
    }

    void Cancel() {
        cancelled_.store(true, std::memory_order_relaxed);
        scheduler_.WakeAll();
        open_folders_.WakeWaiters();
    }

    bool Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(finish_mutex_);
        return finish_cv_.wait_for(lock, timeout, [&] { return finished_; });
    }

    bool Finished() const {
        std::lock_guard lock(finish_mutex_);
        return finished_;
    }

    ScanResult TakeResult() {
        {
            std::unique_lock lock(finish_mutex_);
            finish_cv_.wait(lock, [&] { return finished_; });
        }
        JoinWorkers();
        return std::move(result_);
    }

private:
    struct Worker {
        explicit Worker(TallyShared& shared) : tally(shared) {}
        Tally tally;
        std::vector<DirEntry> batch;
        std::vector<FolderRef> subfolders;
        NativeString path;  // scratch for the progress display's path
        SharedBatch shared_stats;
    };

    bool OpenRootAndStart(const NativeString& root) {
        result_.root = root;
        result_.started_at = std::chrono::system_clock::now();
        started_ = Clock::now();
        OpenResult opened = reader_.OpenRoot(root);
        if (!opened.handle) {
            result_.status = ScanStatus::kRootUnreadable;
            result_.root_error = opened.error;
            result_.root_system_error = opened.system_error;
            Finish();
            return false;
        }
        for (unsigned i = 0; i < growth_.most(); ++i)
            workers_.push_back(std::make_unique<Worker>(shared_));
        // Kept open for the whole walk: folders whose parents were closed to
        // free descriptors are reopened from it.
        anchor_ = open_folders_.Adopt(std::move(opened.handle));
        std::vector<FolderRef> root_folder{workers_[0]->tally.StartRoot(root, opened.self)};
        root_ = root_folder[0].get();
        progress_.entries.store(1);
        progress_.allocated.store(opened.self.allocated_bytes);
        progress_.running.store(true);
        // Reserved in full: a worker that starts another never moves the others.
        threads_.reserve(workers_.size());
        last_review_ = started_;
        cpu_at_last_review_ = orvane::ProcessCpuTime();
        next_review_.store((started_ + kReviewWindow).time_since_epoch().count());
        scheduler_.Push(root_folder);
        StartThreads(std::min(growth_.cores(), growth_.most()));
        return true;
    }

    // Starts as many of the first workers as the system lets it (address
    // space and process limits), at least one; with none the walk ends at once.
    void StartThreads(unsigned wanted) {
        // The starter holds one count, so a worker that is done early cannot
        // end the walk while others are still being started.
        active_workers_.store(wanted + 1);
        unsigned started = 0;
        {
            std::lock_guard lock(grow_mutex_);
            for (; started < wanted; ++started) {
                if (!StartThread(*workers_[started])) break;
            }
            started_threads_.store(started);
            if (started < wanted) growth_stopped_ = true;
        }
        if (started == 0) no_thread_ = true;
        const unsigned release = wanted - started + 1;
        if (active_workers_.fetch_sub(release) == release) Finish();
    }

    // Called by the workers between requests; costs a clock read unless a
    // review is due.
    void MaybeGrow() {
        if (started_threads_.load(std::memory_order_relaxed) >= growth_.most()) return;
        const Clock::rep now = Clock::now().time_since_epoch().count();
        Clock::rep due = next_review_.load(std::memory_order_relaxed);
        if (now < due) return;
        const Clock::rep next = now + kReviewWindow.count();
        if (!next_review_.compare_exchange_strong(due, next, std::memory_order_relaxed)) return;
        Grow(Clock::time_point(Clock::duration(now)));
    }

    // Starts the workers the last window's CPU time asks for. Runs on a
    // worker, which holds its own count, so the walk cannot end meanwhile.
    void Grow(Clock::time_point now) {
        std::unique_lock lock(grow_mutex_, std::try_to_lock);
        if (!lock.owns_lock() || growth_stopped_ || Stopping()) return;
        const std::chrono::nanoseconds cpu = orvane::ProcessCpuTime();
        const auto wall = std::chrono::duration_cast<std::chrono::nanoseconds>(now - last_review_);
        const std::chrono::nanoseconds used = cpu - cpu_at_last_review_;
        last_review_ = now;
        cpu_at_last_review_ = cpu;
        unsigned started = started_threads_.load(std::memory_order_relaxed);
        const unsigned target = growth_.Target(wall, used, started, scheduler_.WorkWaiting());
        for (; started < target; ++started) {
            active_workers_.fetch_add(1);
            if (!StartThread(*workers_[started])) {
                active_workers_.fetch_sub(1);
                growth_stopped_ = true;  // the system's limit: the walk goes on with these
                break;
            }
        }
        started_threads_.store(started);
    }

    bool StartThread(Worker& worker) {
        try {
            threads_.emplace_back([this, &worker] { WorkerMain(worker); });
            return true;
        } catch (const std::system_error&) {
            return false;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    bool Stopping() const {
        return cancelled_.load(std::memory_order_relaxed) || shared_.OutOfMemory() ||
               out_of_descriptors_.load(std::memory_order_relaxed);
    }

    void WorkerMain(Worker& worker) {
        while (FolderRef folder = scheduler_.Pop()) {
            if (!Stopping()) {
                ListFolder(folder, worker);
            } else if (folder->kind_unknown) {
                worker.tally.SettleKind(*folder, OpenError::kOther);  // counted, never opened
            }
            folder->parent_handle.reset();
            if (worker.tally.Complete(std::move(folder))) scheduler_.EndOfTree();
        }
        if (active_workers_.fetch_sub(1) == 1) Finish();
    }

    // Completes the stats of a split listing's batch, with the help of idle
    // workers when the batch is large enough to be worth it.
    void FillStats(DirectoryHandle& handle, Worker& worker) {
        DirEntry* entries = worker.batch.data();
        const std::size_t count = worker.batch.size();
        auto fill = [this, &handle, entries](std::size_t first, std::size_t chunk) {
            FillChunk(handle, entries + first, chunk);
        };
        if (count >= kShareThreshold && scheduler_.IdleWorkers() > 0) {
            worker.shared_stats.Reset(count, fill);
            if (scheduler_.Share(worker.shared_stats)) {
                if (worker.shared_stats.OutOfMemory()) throw std::bad_alloc();
                return;
            }
        }
        for (std::size_t first = 0; first < count; first += SharedBatch::kChunk)
            fill(first, std::min(SharedBatch::kChunk, count - first));
    }

    // A cold device can take a millisecond per entry, so a stop is seen
    // between chunks; entries left without their stats are not counted.
    void FillChunk(DirectoryHandle& handle, DirEntry* entries, std::size_t count) {
        MaybeGrow();
        if (Stopping()) {
            for (std::size_t i = 0; i < count; ++i) entries[i].present = false;
            return;
        }
        handle.FillStats(entries, count);
    }

    std::shared_ptr<DirectoryHandle> Open(FolderNode& folder, Tally& tally) {
        if (&folder == root_) return anchor_;
        OpenResult opened = OpenWaitingForDescriptors(folder);
        folder.parent_handle.reset();
        if (opened.error == OpenError::kNoDescriptors) {
            if (!Stopping()) {
                out_of_descriptors_.store(true);
                scheduler_.WakeAll();
            }
            if (folder.kind_unknown) tally.SettleKind(folder, OpenError::kOther);
            return nullptr;
        }
        bool a_folder = !folder.kind_unknown || tally.SettleKind(folder, opened.error);
        if (!opened.handle) {
            // kNone: replaced since it was listed; counted, never entered.
            if (a_folder && opened.error != OpenError::kNone)
                shared_.RecordUnreadable(folder, opened.error);
            return nullptr;
        }
        return open_folders_.Adopt(std::move(opened.handle));
    }

    OpenResult OpenWaitingForDescriptors(const FolderNode& folder) {
        for (;;) {
            const std::uint64_t events = open_folders_.Events();
            OpenResult opened =
                folder.parent_handle
                    ? reader_.OpenChild(*folder.parent_handle, folder.name, folder.identity.id)
                    : OpenByPath(folder);
            if (opened.error != OpenError::kNoDescriptors || Stopping()) return opened;
            if (!MakeRoomForAnOpen(events)) return opened;
        }
    }

    // True when the open is worth another try: a folder being listed will
    // close, queued folders' parents could be closed, or other workers still
    // opened or closed folders since `events`. False when the walk is stuck.
    bool MakeRoomForAnOpen(std::uint64_t events) {
        if (open_folders_.AnyListing()) {
            open_folders_.WaitForChange(events, kDescriptorWait);
            return true;
        }
        if (scheduler_.ReleaseQueuedParents(kParentsToRelease) > 0) return true;
        return open_folders_.WaitForChange(events, kLastDescriptorWait);
    }

    // Its parent's folder was closed to free descriptors: the folder is
    // reopened from the starting one, name by name, holding two at a time,
    // and must still be the folder that was listed.
    OpenResult OpenByPath(const FolderNode& folder) {
        std::vector<const FolderNode*> chain;  // the folder up to just below the root
        for (const FolderNode* at = &folder; at->parent; at = at->parent.get()) chain.push_back(at);
        std::shared_ptr<DirectoryHandle> at = anchor_;
        OpenResult opened;
        for (std::size_t i = chain.size(); i-- > 0;) {
            opened = reader_.OpenChild(*at, chain[i]->name, chain[i]->identity.id);
            if (!opened.handle) return opened;
            const FileIdentity found = IdentityOf(opened.self);
            if (found.known() && chain[i]->identity.known() && !(found == chain[i]->identity)) {
                opened.handle.reset();
                opened.error = OpenError::kNotFound;  // the folder listed there is gone
                return opened;
            }
            if (i > 0) at = open_folders_.Adopt(std::move(opened.handle));
        }
        return opened;
    }

    // Out of memory, the walk stops like a cancel: what was counted stays
    // counted, and the status says why the numbers are partial.
    void ListFolder(const FolderRef& folder, Worker& worker) {
        Sums own;  // entries of this folder that are not walked themselves
        try {
            ReadEntries(folder, worker, own);
        } catch (const std::bad_alloc&) {
            worker.subfolders.clear();  // counted, never to be entered
            shared_.NoteOutOfMemory();
            scheduler_.WakeAll();
        }
        Tally::FolderListed(*folder, own);
    }

    void ReadEntries(const FolderRef& folder, Worker& worker, Sums& own) {
        std::shared_ptr<DirectoryHandle> handle = Open(*folder, worker.tally);
        if (!handle) return;
        ListingScope listing(open_folders_);
        bool published = PublishCurrentFolder(*folder, worker);
        const bool split = handle->SplitsListing();
        for (;;) {
            // A folder that started too soon after the last one was shown
            // gets its turn while its listing goes on.
            if (!published) published = PublishCurrentFolder(*folder, worker);
            MaybeGrow();
            ReadStatus status =
                split ? handle->ReadNames(worker.batch) : handle->ReadBatch(worker.batch);
            if (status == ReadStatus::kFailed) {
                shared_.RecordUnreadable(*folder, OpenError::kOther);
                break;
            }
            if (status == ReadStatus::kEnd) break;
            if (split) FillStats(*handle, worker);
            CountBatch(folder, handle, own, worker);
            if (Stopping()) break;
        }
    }

    void CountBatch(const FolderRef& folder, const std::shared_ptr<DirectoryHandle>& handle,
                    Sums& own, Worker& worker) {
        std::uint64_t batch_entries = 0;
        std::uint64_t batch_allocated = 0;
        for (const DirEntry& entry : worker.batch) {
            if (!entry.present) continue;
            batch_entries++;
            AddSaturating(batch_allocated,
                          worker.tally.CountEntry(folder, entry, own, worker.subfolders));
        }
        progress_.entries.fetch_add(batch_entries, std::memory_order_relaxed);
        AddSaturating(progress_.allocated, batch_allocated);
        for (FolderRef& subfolder : worker.subfolders) subfolder->parent_handle = handle;
        // Subfolders go out per batch so the other workers can start on a
        // huge folder's subfolders while it is still being read.
        const auto added = static_cast<std::uint32_t>(worker.subfolders.size());
        folder->pending.fetch_add(added, std::memory_order_relaxed);
        try {
            scheduler_.Push(worker.subfolders);
        } catch (const std::bad_alloc&) {
            // The folder's own listing still holds it, so it cannot complete here.
            folder->pending.fetch_sub(added, std::memory_order_relaxed);
            throw;
        }
    }

    // Shows `folder` as the one being scanned; false when another was shown
    // too recently. A display polls a few times a second, and building the
    // path of every folder would cost more than the walk on deep trees.
    bool PublishCurrentFolder(const FolderNode& folder, Worker& worker) {
        auto now = Clock::now().time_since_epoch().count();
        auto last = last_publish_.load(std::memory_order_relaxed);
        if (last != 0 && now - last < kPublishInterval) return false;
        if (!last_publish_.compare_exchange_strong(last, now, std::memory_order_relaxed))
            return false;
        BuildFullPath(folder, separator_, worker.path);
        // A path that took long to build (a folder a hundred thousand levels
        // down) pushes the next one back nine times as long: showing the
        // folder never takes more than a tenth of the walk, however deep.
        const auto built = Clock::now().time_since_epoch().count();
        if (built - now > kPublishInterval / 10) {
            last_publish_.compare_exchange_strong(now, built + 9 * (built - now),
                                                  std::memory_order_relaxed);
        }
        std::lock_guard lock(progress_.path_lock);
        progress_.current_folder.swap(worker.path);
        return true;
    }

    static constexpr Clock::rep kPublishInterval =
        std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(10)).count();

    void JoinWorkers() {
        {
            std::lock_guard lock(grow_mutex_);
            growth_stopped_ = true;  // no worker starts while they are joined
        }
        for (auto& thread : threads_) {
            if (thread.joinable()) thread.join();
        }
        threads_.clear();
    }

    // Runs once, on the last worker to leave (or in Begin when the root
    // cannot be opened).
    void Finish() {
        result_.totals.duration = Clock::now() - started_;
        result_.threads = started_threads_.load();
        if (result_.status != ScanStatus::kRootUnreadable) {
            MergeTallies();
            result_.status = EndStatus();
        }
        progress_.running.store(false);
        {
            std::lock_guard lock(finish_mutex_);
            finished_ = true;
        }
        finish_cv_.notify_all();
        if (options_.on_finished) options_.on_finished();
    }

    void MergeTallies() {
        try {
            std::vector<Tally*> tallies;
            tallies.reserve(workers_.size());
            for (auto& worker : workers_) tallies.push_back(&worker->tally);
            Tally::Merge(tallies, shared_, result_);
        } catch (const std::bad_alloc&) {
            // The totals come first and are kept; lists half built are not.
            result_.largest_folders.clear();
            result_.largest_files.clear();
            result_.largest_types.clear();
            result_.tree.folders.clear();
            shared_.NoteOutOfMemory();
        }
        workers_.clear();  // the top lists' candidates and the batches go
    }

    // Why the walk ended; a shortage weighs more than a cancel that may
    // have come with it.
    ScanStatus EndStatus() const {
        if (no_thread_) return ScanStatus::kNoWorkerThread;
        if (shared_.OutOfMemory()) return ScanStatus::kOutOfMemory;
        if (out_of_descriptors_.load()) return ScanStatus::kOutOfFileDescriptors;
        if (cancelled_.load()) return ScanStatus::kCancelled;
        return ScanStatus::kCompleted;
    }

    DirectoryReader& reader_;
    const ScanOptions& options_;
    ProgressState& progress_;
    const NativeChar separator_;
    TallyShared shared_;

    Clock::time_point started_;
    const FolderNode* root_ = nullptr;

    // Declared before the folders that use it, so it outlives them all.
    OpenFolders open_folders_;
    std::shared_ptr<DirectoryHandle> anchor_;  // the starting folder, open throughout
    WorkScheduler scheduler_;
    std::atomic<bool> cancelled_{false};
    bool no_thread_ = false;  // set before the walk ends, read by Finish
    std::atomic<bool> out_of_descriptors_{false};
    std::atomic<Clock::rep> last_publish_{0};

    // One for the most workers the walk may run; the first `started_threads_`
    // have a thread.
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<std::thread> threads_;
    std::atomic<unsigned> active_workers_{0};
    const PoolGrowth growth_;
    std::atomic<unsigned> started_threads_{0};
    std::atomic<Clock::rep> next_review_{0};
    std::mutex grow_mutex_;  // guards what follows, and starting threads
    bool growth_stopped_ = false;
    Clock::time_point last_review_;
    std::chrono::nanoseconds cpu_at_last_review_{0};

    mutable std::mutex finish_mutex_;
    std::condition_variable finish_cv_;
    bool finished_ = false;
    ScanResult result_;
};

Scanner::Scanner(DirectoryReader& reader, ScanOptions options)
    : reader_(reader), options_(std::move(options)), progress_(std::make_unique<ProgressState>()) {}

Scanner::~Scanner() { walk_.reset(); }

bool Scanner::Start(const NativeString& root) {
    std::unique_ptr<Walk> previous;
    {
        std::lock_guard lock(walk_mutex_);
        if (walk_ && !walk_->Finished()) return false;
        previous = std::move(walk_);
    }
    previous.reset();
    progress_->entries.store(0);
    progress_->allocated.store(0);
    {
        std::lock_guard lock(progress_->path_lock);
        progress_->current_folder.clear();
    }
    std::unique_ptr<Walk> walk;
    try {
        walk = std::make_unique<Walk>(reader_, options_, *progress_);
    } catch (const std::bad_alloc&) {
        // Not even the walk fits: the scan has ended before it began.
        start_out_of_memory_ = true;
        if (options_.on_finished) options_.on_finished();
        return false;
    }
    Walk* started = walk.get();
    {
        std::lock_guard lock(walk_mutex_);
        walk_ = std::move(walk);
    }
    return started->Begin(root);
}

bool Scanner::Wait(std::chrono::milliseconds timeout) { return !walk_ || walk_->Wait(timeout); }

bool Scanner::Finished() const {
    std::lock_guard lock(walk_mutex_);
    return !walk_ || walk_->Finished();
}

void Scanner::Cancel() {
    std::lock_guard lock(walk_mutex_);
    if (walk_) walk_->Cancel();
}

ScanResult Scanner::TakeResult() {
    if (!walk_) {
        ScanResult nothing;
        if (std::exchange(start_out_of_memory_, false)) nothing.status = ScanStatus::kOutOfMemory;
        return nothing;
    }
    ScanResult result = walk_->TakeResult();
    std::unique_ptr<Walk> finished;
    {
        std::lock_guard lock(walk_mutex_);
        finished = std::move(walk_);
    }
    return result;
}

ScanResult Scanner::Run(const NativeString& root) {
    Start(root);
    return TakeResult();
}

std::uint64_t Scanner::EntriesScanned() const {
    return progress_->entries.load(std::memory_order_relaxed);
}

std::uint64_t Scanner::AllocatedBytesScanned() const {
    return progress_->allocated.load(std::memory_order_relaxed);
}

ScanProgress Scanner::Progress() const {
    ScanProgress progress;
    {
        std::lock_guard lock(progress_->path_lock);
        try {
            progress.current_folder = progress_->current_folder;
        } catch (const std::bad_alloc&) {
            // The counters still tell the story; the folder's name waits for memory.
        }
    }
    progress.entries = EntriesScanned();
    progress.allocated_bytes = AllocatedBytesScanned();
    progress.running = progress_->running.load();
    return progress;
}

}  // namespace orvane::engine
