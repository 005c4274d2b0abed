// The folder walk, one way of finding entries: workers take folders from the
// scheduler, list them through the DirectoryReader in batches and hand each
// batch to their own Tally; subfolders go back to the scheduler per batch, so
// idle workers start on a huge folder's subfolders while it is still being
// read. Opening under descriptor pressure is the FolderOpener's, starting and
// growing the threads the WalkPool's, counting the feed's.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "core/directory_reader.h"
#include "core/folder_opener.h"
#include "core/scan_source.h"
#include "core/walk_pool.h"
#include "core/work_scheduler.h"

namespace orvane::engine {

class FolderWalk final : public ScanSource {
public:
    // `reader` must outlive the walk.
    explicit FolderWalk(DirectoryReader& reader) : reader_(reader) {}
    ~FolderWalk() override;

    NativeChar Separator() const override { return reader_.Separator(); }
    bool Begin(const NativeString& root, ScanFeed& feed) override;
    void Wake() override;
    void Join() override;

private:
    struct Worker {
        explicit Worker(Tally& counter) : tally(counter) {}
        Tally& tally;
        std::vector<DirEntry> batch;
        std::vector<FolderRef> subfolders;
        NativeString path;  // scratch for the folder shown
        SharedBatch shared_stats;
    };
    // What exists once Begin has a feed.
    struct Run {
        Run(FolderWalk& walk, DirectoryReader& reader, ScanFeed& feed);
        ScanFeed& feed;
        FolderOpener opener;
        WorkScheduler scheduler;
        std::vector<std::unique_ptr<Worker>> workers;
        WalkPool pool;  // last: its threads are joined before the rest goes
    };

    bool OpenRootAndStart(const NativeString& root);
    void WorkerMain(Worker& worker);
    void ListFolder(const FolderRef& folder, Worker& worker);
    void ReadEntries(const FolderRef& folder, Worker& worker, Sums& own);
    void FillStats(DirectoryHandle& handle, Worker& worker);
    void FillChunk(DirectoryHandle& handle, DirEntry* entries, std::size_t count);
    void CountBatch(const FolderRef& folder, const std::shared_ptr<DirectoryHandle>& handle,
                    Sums& own, Worker& worker);

    DirectoryReader& reader_;
    std::mutex run_mutex_;  // a Wake from another thread meets Begin making the run
    std::unique_ptr<Run> run_;
};

}  // namespace orvane::engine
