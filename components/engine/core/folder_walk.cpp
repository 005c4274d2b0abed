#include "core/folder_walk.h"

#include <algorithm>
#include <new>
#include <utility>

namespace orvane::engine {
namespace {

// Below this a batch is cheaper to complete alone than to share.
constexpr std::size_t kShareThreshold = 256;

}  // namespace

FolderWalk::Run::Run(FolderWalk& walk, DirectoryReader& reader, ScanFeed& fed)
    : feed(fed),
      opener(reader, fed, scheduler),
      pool(fed.options(), fed, scheduler,
           [&walk](unsigned index) { walk.WorkerMain(*walk.run_->workers[index]); }) {}

FolderWalk::~FolderWalk() {
    Wake();
    Join();
}

bool FolderWalk::Begin(const NativeString& root, ScanFeed& feed) {
    try {
        auto run = std::make_unique<Run>(*this, reader_, feed);
        {
            std::lock_guard lock(run_mutex_);
            run_ = std::move(run);
        }
        return OpenRootAndStart(root);
    } catch (const std::bad_alloc&) {
        // No worker has started: the walk ends before it began.
        feed.shared().NoteOutOfMemory();
        feed.End(0);
        return false;
    }
}

void FolderWalk::Wake() {
    std::lock_guard lock(run_mutex_);
    if (!run_) return;
    run_->scheduler.WakeAll();
    run_->opener.open_folders().WakeWaiters();
}

void FolderWalk::Join() {
    if (run_) run_->pool.Join();
}

bool FolderWalk::OpenRootAndStart(const NativeString& root) {
    Run& run = *run_;
    OpenResult opened = run.opener.OpenRoot(root);
    if (!opened.handle) {
        run.feed.RootUnreadable(opened.error, opened.system_error);
        return false;
    }
    for (unsigned i = 0; i < run.pool.most(); ++i)
        run.workers.push_back(std::make_unique<Worker>(run.feed.AddTally()));
    std::vector<FolderRef> root_folder{run.feed.Root(run.workers[0]->tally, root, opened.self)};
    run.opener.SetRoot(*root_folder[0], std::move(opened.handle));
    run.scheduler.Push(root_folder);
    run.pool.StartFirst();
    return true;
}

void FolderWalk::WorkerMain(Worker& worker) {
    Run& run = *run_;
    while (FolderRef folder = run.scheduler.Pop()) {
        if (!run.feed.Stopping()) {
            ListFolder(folder, worker);
        } else if (folder->kind_unknown) {
            worker.tally.SettleKind(*folder, OpenError::kOther);  // counted, never opened
        }
        folder->parent_handle.reset();
        if (worker.tally.Complete(std::move(folder))) run.scheduler.EndOfTree();
    }
}

// Out of memory, the walk stops like a cancel: what was counted stays
// counted, and the status says why the numbers are partial.
void FolderWalk::ListFolder(const FolderRef& folder, Worker& worker) {
    Sums own;  // entries of this folder that are not walked themselves
    try {
        ReadEntries(folder, worker, own);
    } catch (const std::bad_alloc&) {
        worker.subfolders.clear();  // counted, never to be entered
        run_->feed.shared().NoteOutOfMemory();
        run_->scheduler.WakeAll();
    }
    Tally::FolderListed(*folder, own);
}

void FolderWalk::ReadEntries(const FolderRef& folder, Worker& worker, Sums& own) {
    Run& run = *run_;
    std::shared_ptr<DirectoryHandle> handle = run.opener.Open(*folder, worker.tally);
    if (!handle) return;
    ListingScope listing(run.opener.open_folders());
    bool shown = run.feed.ShowFolder(*folder, worker.path);
    const bool split = handle->SplitsListing();
    for (;;) {
        // A folder that started too soon after the last one was shown
        // gets its turn while its listing goes on.
        if (!shown) shown = run.feed.ShowFolder(*folder, worker.path);
        run.pool.MaybeGrow();
        ReadStatus status =
            split ? handle->ReadNames(worker.batch) : handle->ReadBatch(worker.batch);
        if (status == ReadStatus::kFailed) {
            run.feed.shared().RecordUnreadable(*folder, OpenError::kOther);
            break;
        }
        if (status == ReadStatus::kEnd) break;
        if (split) FillStats(*handle, worker);
        CountBatch(folder, handle, own, worker);
        if (run.feed.Stopping()) break;
    }
}

// Completes the stats of a split listing's batch, with the help of idle
// workers when the batch is large enough to be worth it.
void FolderWalk::FillStats(DirectoryHandle& handle, Worker& worker) {
    DirEntry* entries = worker.batch.data();
    const std::size_t count = worker.batch.size();
    auto fill = [this, &handle, entries](std::size_t first, std::size_t chunk) {
        FillChunk(handle, entries + first, chunk);
    };
    if (count >= kShareThreshold && run_->scheduler.IdleWorkers() > 0) {
        worker.shared_stats.Reset(count, fill);
        if (run_->scheduler.Share(worker.shared_stats)) {
            if (worker.shared_stats.OutOfMemory()) throw std::bad_alloc();
            return;
        }
    }
    for (std::size_t first = 0; first < count; first += SharedBatch::kChunk)
        fill(first, std::min(SharedBatch::kChunk, count - first));
}

// A cold device can take a millisecond per entry, so a stop is seen
// between chunks; entries left without their stats are not counted.
void FolderWalk::FillChunk(DirectoryHandle& handle, DirEntry* entries, std::size_t count) {
    run_->pool.MaybeGrow();
    if (run_->feed.Stopping()) {
        for (std::size_t i = 0; i < count; ++i) entries[i].present = false;
        return;
    }
    handle.FillStats(entries, count);
}

void FolderWalk::CountBatch(const FolderRef& folder, const std::shared_ptr<DirectoryHandle>& handle,
                            Sums& own, Worker& worker) {
    std::uint64_t batch_entries = 0;
    std::uint64_t batch_allocated = 0;
    for (const DirEntry& entry : worker.batch) {
        if (!entry.present) continue;
        batch_entries++;
        AddSaturating(batch_allocated,
                      worker.tally.CountEntry(folder, entry, own, worker.subfolders));
    }
    run_->feed.Counted(batch_entries, batch_allocated);
    for (FolderRef& subfolder : worker.subfolders) subfolder->parent_handle = handle;
    // Subfolders go out per batch so the other workers can start on a
    // huge folder's subfolders while it is still being read.
    const auto added = static_cast<std::uint32_t>(worker.subfolders.size());
    folder->pending.fetch_add(added, std::memory_order_relaxed);
    try {
        run_->scheduler.Push(worker.subfolders);
    } catch (const std::bad_alloc&) {
        // The folder's own listing still holds it, so it cannot complete here.
        folder->pending.fetch_sub(added, std::memory_order_relaxed);
        throw;
    }
}

}  // namespace orvane::engine
