#include "core/scanner.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace orvane::engine {
namespace {

using Clock = std::chrono::steady_clock;

// A folder whose subtree is not finished yet. It lives from the moment its
// parent lists it until its last descendant is done, so at any time only the
// folders on the walk's frontier and their ancestors exist.
struct Node {
    Node* parent = nullptr;
    NativeString name;  // the starting folder holds the root path as given
    // The parent's open folder, held until this folder has been opened from it.
    std::shared_ptr<DirectoryHandle> parent_handle;
    // 1 for this folder's own listing plus 1 per child folder not yet done.
    std::atomic<std::uint32_t> pending{1};
    // The subtree so far; children add theirs when they are done.
    std::atomic<std::uint64_t> allocated{0};
    std::atomic<std::uint64_t> apparent{0};
    std::atomic<std::uint64_t> files{0};
    std::atomic<std::uint64_t> folders{1};
};

struct Sums {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t allocated = 0;
    std::uint64_t apparent = 0;
};

// Keeps the `limit` largest items by allocated bytes; a min-heap so the
// smallest kept item is the one to beat.
template <typename Item>
class TopList {
public:
    explicit TopList(std::size_t limit) : limit_(limit) {}

    bool Admits(std::uint64_t allocated) const {
        return limit_ > 0 && (items_.size() < limit_ || allocated > items_.front().allocated_bytes);
    }
    void Add(Item item) {
        if (!Admits(item.allocated_bytes)) return;
        if (items_.size() == limit_) {
            std::pop_heap(items_.begin(), items_.end(), Greater);
            items_.pop_back();
        }
        items_.push_back(std::move(item));
        std::push_heap(items_.begin(), items_.end(), Greater);
    }
    std::vector<Item>& items() { return items_; }

private:
    static bool Greater(const Item& a, const Item& b) {
        return a.allocated_bytes > b.allocated_bytes;
    }
    std::size_t limit_;
    std::vector<Item> items_;
};

template <typename Item, typename Key>
void SortLargestFirst(std::vector<Item>& items, Key key, std::size_t limit) {
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        if (a.allocated_bytes != b.allocated_bytes) return a.allocated_bytes > b.allocated_bytes;
        if (a.apparent_bytes != b.apparent_bytes) return a.apparent_bytes > b.apparent_bytes;
        return key(a) < key(b);
    });
    if (items.size() > limit) items.resize(limit);
}

struct ViewHash {
    using is_transparent = void;
    std::size_t operator()(NativeStringView text) const noexcept {
        return std::hash<NativeStringView>{}(text);
    }
};
struct ViewEqual {
    using is_transparent = void;
    bool operator()(NativeStringView a, NativeStringView b) const noexcept { return a == b; }
};

// Longer suffixes are names with a dot in them rather than file types; not
// counting them as types keeps the table small on odd trees.
constexpr std::size_t kMaxExtension = 16;

// The extension after the last dot, ASCII folded to lower case, into `out`.
// A leading dot (".profile") starts a name, not an extension.
NativeStringView LowerExtension(NativeStringView name, std::array<NativeChar, kMaxExtension>& out) {
    auto dot = name.rfind(NativeChar('.'));
    if (dot == NativeStringView::npos || dot == 0 || dot + 1 == name.size()) return {};
    auto ext = name.substr(dot + 1);
    if (ext.size() > kMaxExtension) return {};
    for (std::size_t i = 0; i < ext.size(); ++i) {
        NativeChar c = ext[i];
        out[i] = (c >= 'A' && c <= 'Z') ? NativeChar(c - 'A' + 'a') : c;
    }
    return NativeStringView(out.data(), ext.size());
}

// Remembers the identities of data with several names, spread over shards so
// workers rarely meet on one lock.
class IdentitySet {
public:
    // True the first time an identity is seen.
    bool Insert(std::uint64_t id) {
        auto& shard = shards_[(id * 0x9E3779B97F4A7C15ull) >> 58];
        std::lock_guard lock(shard.mutex);
        return shard.ids.insert(id).second;
    }

private:
    struct Shard {
        std::mutex mutex;
        std::unordered_set<std::uint64_t> ids;
    };
    std::array<Shard, 64> shards_;
};

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

// One batch of a split listing whose stat calls are shared out in chunks:
// the worker that read the batch and any idle workers take chunks until none
// is left.
struct StatJob {
    DirectoryHandle* handle = nullptr;
    DirEntry* entries = nullptr;
    std::size_t count = 0;
    std::atomic<std::size_t> next{0};    // first entry not handed out yet
    std::atomic<std::size_t> filled{0};  // entries whose stats are in
    std::atomic<unsigned> helpers{0};    // other workers still touching the job

    void Work() {
        for (;;) {
            std::size_t start = next.fetch_add(kChunk, std::memory_order_relaxed);
            if (start >= count) return;
            std::size_t n = std::min(kChunk, count - start);
            handle->FillStats(entries + start, n);
            filled.fetch_add(n, std::memory_order_release);
        }
    }
    bool HasWork() const { return next.load(std::memory_order_relaxed) < count; }

    // Small, so the worker that owns the batch never waits long for a
    // helper's last chunk.
    static constexpr std::size_t kChunk = 64;
};

// Below this a batch is cheaper to complete alone than to share.
constexpr std::size_t kShareThreshold = 256;

}  // namespace

unsigned DefaultThreadCount() {
    // A cold scan, the first one of a drive, waits on the device for nearly
    // every folder and inode, and the device is kept busy only with many
    // requests in flight: each worker has one (a listing, an open or a stat)
    // whatever the backend. A worker that waits uses no core, and a warm scan
    // leaves the extra ones waiting in the queue. Measured on 2 cores
    // (docs/report-format.md): cold, 8 to 32 workers took 30 to 50% less time
    // than 2, 32 the best or level with it; warm, 32 cost 5 to 7% over 2.
    // The count never grows, so a slow device sees no more requests than this.
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

class Scanner::Walk {
public:
    Walk(DirectoryReader& reader, const ScanOptions& options, ProgressState& progress)
        : reader_(reader), options_(options), progress_(progress), separator_(reader.Separator()) {}

    ~Walk() {
        Cancel();
        JoinWorkers();
    }

    // Opens the root; false when it cannot be opened (the walk is then over).
    bool Begin(const NativeString& root) {
        result_.root = root;
        result_.started_at = std::chrono::system_clock::now();
        started_ = Clock::now();
        OpenResult opened = reader_.OpenRoot(root);
        if (!opened.handle) {
            result_.status = ScanStatus::kRootUnreadable;
            result_.root_error = opened.error;
            Finish();
            return false;
        }
        root_handle_ = std::move(opened.handle);
        root_ = new Node;
        root_->name = root;
        root_->allocated = opened.self.allocated_bytes;
        root_->apparent = opened.self.apparent_bytes;
        root_sums_ = {0, 1, opened.self.allocated_bytes, opened.self.apparent_bytes};
        progress_.entries.store(1);
        progress_.allocated.store(opened.self.allocated_bytes);
        progress_.running.store(true);
        stack_.push_back(root_);

        unsigned threads = options_.threads ? options_.threads : DefaultThreadCount();
        result_.threads = threads;
        workers_.reserve(threads);
        for (unsigned i = 0; i < threads; ++i)
            states_.push_back(std::make_unique<WorkerState>(options_));
        active_workers_.store(threads);
        for (unsigned i = 0; i < threads; ++i) {
            workers_.emplace_back([this, i] { WorkerMain(*states_[i]); });
        }
        return true;
    }

    void Cancel() {
        cancelled_.store(true, std::memory_order_relaxed);
        std::lock_guard lock(stack_mutex_);
        stack_cv_.notify_all();
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
    struct WorkerState {
        explicit WorkerState(const ScanOptions& options)
            : largest_files(options.top_count), largest_folders(options.top_count) {}
        Sums sums;
        TopList<FileSize> largest_files;
        TopList<FolderSize> largest_folders;
        std::unordered_map<NativeString, FileTypeSize, ViewHash, ViewEqual> types;
        std::vector<DirEntry> batch;
        std::vector<Node*> children;
        NativeString path;  // scratch for building full paths
        StatJob job;        // this worker's batch when it shares the stat calls
    };

    void WorkerMain(WorkerState& state) {
        while (Node* node = Pop()) {
            if (!cancelled_.load(std::memory_order_relaxed)) {
                ListFolder(*node, state);
            }
            node->parent_handle.reset();
            Complete(node, state);
        }
        if (active_workers_.fetch_sub(1) == 1) Finish();
    }

    // The next folder to read; meanwhile an idle worker helps with a shared
    // batch. Null when the whole tree is done.
    Node* Pop() {
        std::unique_lock lock(stack_mutex_);
        for (;;) {
            if (!stack_.empty()) {
                Node* node = stack_.back();
                stack_.pop_back();
                return node;
            }
            if (done_) return nullptr;
            if (stat_job_ && stat_job_->HasWork()) {
                StatJob* job = stat_job_;
                // Counted under the lock, so the owner cannot retire the job
                // without waiting for this helper.
                job->helpers.fetch_add(1, std::memory_order_relaxed);
                lock.unlock();
                job->Work();
                job->helpers.fetch_sub(1, std::memory_order_release);
                lock.lock();
                continue;
            }
            idle_workers_.fetch_add(1, std::memory_order_relaxed);
            stack_cv_.wait(lock);
            idle_workers_.fetch_sub(1, std::memory_order_relaxed);
        }
    }

    // Completes the stats of a split listing's batch, with the help of idle
    // workers when the batch is large enough to be worth it.
    void FillStats(DirectoryHandle& handle, WorkerState& state) {
        std::vector<DirEntry>& batch = state.batch;
        StatJob& job = state.job;
        if (batch.size() < kShareThreshold || idle_workers_.load(std::memory_order_relaxed) == 0) {
            handle.FillStats(batch.data(), batch.size());
            return;
        }
        job.handle = &handle;
        job.entries = batch.data();
        job.count = batch.size();
        job.next.store(0, std::memory_order_relaxed);
        job.filled.store(0, std::memory_order_relaxed);
        {
            std::lock_guard lock(stack_mutex_);
            if (stat_job_) {
                // Another worker is sharing already; the helpers are busy.
                job.count = 0;
            } else {
                stat_job_ = &job;
            }
        }
        if (job.count == 0) {
            handle.FillStats(batch.data(), batch.size());
            return;
        }
        stack_cv_.notify_all();
        job.Work();
        while (job.filled.load(std::memory_order_acquire) < job.count) std::this_thread::yield();
        {
            std::lock_guard lock(stack_mutex_);
            stat_job_ = nullptr;
        }
        while (job.helpers.load(std::memory_order_acquire) != 0) std::this_thread::yield();
    }

    void Push(std::vector<Node*>& nodes) {
        if (nodes.empty()) return;
        {
            std::lock_guard lock(stack_mutex_);
            stack_.insert(stack_.end(), nodes.begin(), nodes.end());
        }
        if (nodes.size() == 1) {
            stack_cv_.notify_one();
        } else {
            stack_cv_.notify_all();
        }
        nodes.clear();
    }

    std::shared_ptr<DirectoryHandle> Open(Node& node) {
        if (&node == root_) return std::move(root_handle_);
        OpenResult opened = reader_.OpenChild(*node.parent_handle, node.name);
        node.parent_handle.reset();
        if (!opened.handle) {
            RecordUnreadable(node, opened.error);
            return nullptr;
        }
        return std::move(opened.handle);
    }

    void ListFolder(Node& node, WorkerState& state) {
        std::shared_ptr<DirectoryHandle> handle = Open(node);
        if (!handle) return;
        bool published = PublishCurrentFolder(node, state);
        const bool split = handle->SplitsListing();
        Sums own;  // entries of this folder that are not descended into
        for (;;) {
            // A folder that started too soon after the last one was shown
            // gets its turn while its listing goes on.
            if (!published) published = PublishCurrentFolder(node, state);
            ReadStatus status =
                split ? handle->ReadNames(state.batch) : handle->ReadBatch(state.batch);
            if (status == ReadStatus::kFailed) {
                RecordUnreadable(node, OpenError::kOther);
                break;
            }
            if (status == ReadStatus::kEnd) break;
            if (split) FillStats(*handle, state);
            std::uint64_t batch_entries = 0;
            std::uint64_t batch_allocated = 0;
            for (const DirEntry& entry : state.batch) {
                if (!entry.present) continue;
                batch_entries++;
                batch_allocated += CountEntry(node, handle, entry, own, state);
            }
            progress_.entries.fetch_add(batch_entries, std::memory_order_relaxed);
            progress_.allocated.fetch_add(batch_allocated, std::memory_order_relaxed);
            // Children go out per batch so the other workers can start on a
            // huge folder's subfolders while it is still being read.
            node.pending.fetch_add(static_cast<std::uint32_t>(state.children.size()),
                                   std::memory_order_relaxed);
            Push(state.children);
            if (cancelled_.load(std::memory_order_relaxed)) break;
        }
        node.allocated.fetch_add(own.allocated, std::memory_order_relaxed);
        node.apparent.fetch_add(own.apparent, std::memory_order_relaxed);
        node.files.fetch_add(own.files, std::memory_order_relaxed);
        node.folders.fetch_add(own.folders, std::memory_order_relaxed);
    }

    // Counts one entry and returns the allocated bytes it added.
    std::uint64_t CountEntry(Node& node, const std::shared_ptr<DirectoryHandle>& handle,
                             const DirEntry& entry, Sums& own, WorkerState& state) {
        const EntryStats& stats = entry.stats;
        if (entry.kind == EntryKind::kDirectory) {
            state.sums.folders++;
            if (entry.other_file_system) {
                // What it holds, its own size included, belongs to the other
                // file system's used space (du -x leaves it out the same way).
                own.folders++;
                return 0;
            }
            state.sums.allocated += stats.allocated_bytes;
            state.sums.apparent += stats.apparent_bytes;
            state.children.push_back(NewChild(node, handle, entry));
            return stats.allocated_bytes;
        }
        std::uint64_t allocated = stats.allocated_bytes;
        std::uint64_t apparent = stats.apparent_bytes;
        if (!FirstNameOfData(stats)) allocated = apparent = 0;
        state.sums.files++;
        state.sums.allocated += allocated;
        state.sums.apparent += apparent;
        own.files++;
        own.allocated += allocated;
        own.apparent += apparent;
        CountType(entry.name, allocated, apparent, state);
        if (state.largest_files.Admits(allocated)) {
            FullPath(node, state.path);
            AppendName(state.path, entry.name);
            state.largest_files.Add(FileSize{state.path, allocated, apparent});
        }
        return allocated;
    }

    // A subfolder to walk; it starts with its own size, which the parent's
    // listing gave.
    static Node* NewChild(Node& parent, const std::shared_ptr<DirectoryHandle>& parent_handle,
                          const DirEntry& entry) {
        auto* child = new Node;
        child->parent = &parent;
        child->name.assign(entry.name);
        child->parent_handle = parent_handle;
        child->allocated.store(entry.stats.allocated_bytes, std::memory_order_relaxed);
        child->apparent.store(entry.stats.apparent_bytes, std::memory_order_relaxed);
        return child;
    }

    // False when the data behind this name was already counted under another.
    bool FirstNameOfData(const EntryStats& stats) {
        bool shared = stats.link_count > 1 ||
                      (stats.link_count == 0 &&
                       options_.unknown_link_count == UnknownLinkCount::kRememberFileId);
        if (!shared || stats.file_id == 0) return true;
        return identities_.Insert(stats.file_id);
    }

    void CountType(NativeStringView name, std::uint64_t allocated, std::uint64_t apparent,
                   WorkerState& state) {
        std::array<NativeChar, kMaxExtension> buffer;
        NativeStringView ext = LowerExtension(name, buffer);
        auto found = state.types.find(ext);
        if (found == state.types.end()) {
            found = state.types.emplace(NativeString(ext), FileTypeSize{NativeString(ext)}).first;
        }
        found->second.files++;
        found->second.allocated_bytes += allocated;
        found->second.apparent_bytes += apparent;
    }

    // Runs when a folder's own listing or one of its children is done; when
    // that was the last thing the folder waited for, its subtree is complete
    // and is handed up to the parent, and so on up the chain.
    void Complete(Node* node, WorkerState& state) {
        while (node) {
            if (node->pending.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
            Node* parent = node->parent;
            std::uint64_t allocated = node->allocated.load(std::memory_order_relaxed);
            if (state.largest_folders.Admits(allocated)) {
                FullPath(*node, state.path);
                state.largest_folders.Add(FolderSize{state.path, allocated, node->apparent.load(),
                                                     node->files.load(), node->folders.load()});
            }
            if (parent) {
                parent->allocated.fetch_add(allocated, std::memory_order_relaxed);
                parent->apparent.fetch_add(node->apparent.load(), std::memory_order_relaxed);
                parent->files.fetch_add(node->files.load(), std::memory_order_relaxed);
                parent->folders.fetch_add(node->folders.load(), std::memory_order_relaxed);
            } else {
                EndOfTree();
            }
            delete node;
            node = parent;
        }
    }

    void EndOfTree() {
        std::lock_guard lock(stack_mutex_);
        done_ = true;
        stack_cv_.notify_all();
    }

    void RecordUnreadable(Node& node, OpenError reason) {
        std::lock_guard lock(unreadable_mutex_);
        unreadable_count_++;
        if (result_.unreadable.size() < options_.unreadable_list_limit) {
            NativeString path;
            FullPath(node, path);
            result_.unreadable.push_back(UnreadableFolder{std::move(path), reason});
        }
    }

    // Shows `node` as the folder being scanned; false when another was shown
    // too recently. A display polls a few times a second, and building the
    // path of every folder would cost more than the walk on deep trees.
    bool PublishCurrentFolder(Node& node, WorkerState& state) {
        auto now = Clock::now().time_since_epoch().count();
        auto last = last_publish_.load(std::memory_order_relaxed);
        if (last != 0 && now - last < kPublishInterval) return false;
        if (!last_publish_.compare_exchange_strong(last, now, std::memory_order_relaxed))
            return false;
        FullPath(node, state.path);
        std::lock_guard lock(progress_.path_lock);
        progress_.current_folder.swap(state.path);
        return true;
    }

    static constexpr Clock::rep kPublishInterval =
        std::chrono::duration_cast<Clock::duration>(std::chrono::milliseconds(10)).count();

    void AppendName(NativeString& path, NativeStringView name) const {
        if (path.empty() || path.back() != separator_) path.push_back(separator_);
        path.append(name);
    }

    // The node's full path, built from the names of its ancestors.
    void FullPath(const Node& node, NativeString& path) const {
        const Node* chain[64];
        std::vector<const Node*> long_chain;
        std::size_t depth = 0;
        for (const Node* n = &node; n; n = n->parent) {
            if (depth < 64) {
                chain[depth] = n;
            } else {
                if (long_chain.empty()) long_chain.assign(chain, chain + 64);
                long_chain.push_back(n);
            }
            depth++;
        }
        auto at = [&](std::size_t i) { return depth <= 64 ? chain[i] : long_chain[i]; };
        path.assign(at(depth - 1)->name);
        for (std::size_t i = depth - 1; i-- > 0;) AppendName(path, at(i)->name);
    }

    void JoinWorkers() {
        for (auto& worker : workers_) {
            if (worker.joinable()) worker.join();
        }
        workers_.clear();
    }

    // Runs once, on the last worker to leave (or in Begin when the root
    // cannot be opened).
    void Finish() {
        result_.totals.duration = Clock::now() - started_;
        if (result_.status != ScanStatus::kRootUnreadable) {
            if (cancelled_.load()) result_.status = ScanStatus::kCancelled;
            MergeWorkerStates();
        }
        progress_.running.store(false);
        {
            std::lock_guard lock(finish_mutex_);
            finished_ = true;
        }
        finish_cv_.notify_all();
        if (options_.on_finished) options_.on_finished();
    }

    void MergeWorkerStates() {
        ScanTotals& totals = result_.totals;
        Sums sums = root_sums_;
        std::unordered_map<NativeString, FileTypeSize, ViewHash, ViewEqual> types;
        for (auto& state : states_) {
            sums.files += state->sums.files;
            sums.folders += state->sums.folders;
            sums.allocated += state->sums.allocated;
            sums.apparent += state->sums.apparent;
            for (auto& file : state->largest_files.items())
                result_.largest_files.push_back(std::move(file));
            for (auto& folder : state->largest_folders.items())
                result_.largest_folders.push_back(std::move(folder));
            for (auto& [ext, type] : state->types) {
                FileTypeSize& merged = types.try_emplace(ext, FileTypeSize{ext}).first->second;
                merged.files += type.files;
                merged.allocated_bytes += type.allocated_bytes;
                merged.apparent_bytes += type.apparent_bytes;
            }
        }
        states_.clear();
        totals.files = sums.files;
        totals.folders = sums.folders;
        totals.allocated_bytes = sums.allocated;
        totals.apparent_bytes = sums.apparent;
        totals.unreadable_folders = unreadable_count_;
        for (auto& [ext, type] : types) result_.largest_types.push_back(std::move(type));
        std::size_t top = options_.top_count;
        SortLargestFirst(
            result_.largest_files, [](const FileSize& f) -> const NativeString& { return f.path; },
            top);
        SortLargestFirst(
            result_.largest_folders,
            [](const FolderSize& f) -> const NativeString& { return f.path; }, top);
        SortLargestFirst(
            result_.largest_types,
            [](const FileTypeSize& t) -> const NativeString& { return t.extension; }, top);
    }

    DirectoryReader& reader_;
    const ScanOptions& options_;
    ProgressState& progress_;
    const NativeChar separator_;

    Clock::time_point started_;
    Node* root_ = nullptr;
    std::unique_ptr<DirectoryHandle> root_handle_;
    Sums root_sums_;

    std::mutex stack_mutex_;
    std::condition_variable stack_cv_;
    std::vector<Node*> stack_;
    bool done_ = false;
    StatJob* stat_job_ = nullptr;            // the one batch being shared, if any
    std::atomic<unsigned> idle_workers_{0};  // waiting in Pop

    std::atomic<bool> cancelled_{false};
    std::atomic<Clock::rep> last_publish_{0};
    IdentitySet identities_;

    std::mutex unreadable_mutex_;
    std::uint64_t unreadable_count_ = 0;

    std::vector<std::unique_ptr<WorkerState>> states_;
    std::vector<std::thread> workers_;
    std::atomic<unsigned> active_workers_{0};

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
    auto walk = std::make_unique<Walk>(reader_, options_, *progress_);
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
    if (!walk_) return {};
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
        progress.current_folder = progress_->current_folder;
    }
    progress.entries = EntriesScanned();
    progress.allocated_bytes = AllocatedBytesScanned();
    progress.running = progress_->running.load();
    return progress;
}

}  // namespace orvane::engine
