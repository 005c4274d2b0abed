// Opens the walk's folders, each relative to its parent's open folder, and
// bears descriptor pressure: out of descriptors, it waits for a folder being
// listed to close, or closes parents kept open for queued subfolders (those
// are then reopened from the starting folder, name by name), and only when
// nothing helps does it stop the walk and say so (core/open_folders.h).
#pragma once

#include <memory>

#include "core/directory_reader.h"
#include "core/open_folders.h"
#include "core/scan_source.h"
#include "core/work_scheduler.h"

namespace orvane::engine {

class FolderOpener {
public:
    FolderOpener(DirectoryReader& reader, ScanFeed& feed, WorkScheduler& scheduler)
        : reader_(reader), feed_(feed), scheduler_(scheduler) {}

    // Opens the starting folder and keeps it open for the whole walk: folders
    // whose parents were closed to free descriptors are reopened from it.
    OpenResult OpenRoot(const NativeString& root);
    void SetRoot(const FolderNode& root, std::unique_ptr<DirectoryHandle> handle);

    // Opens `folder` for listing; null when it cannot be listed, after
    // counting it (an entry listed without a type is settled by `tally`) and
    // recording it as unreadable where it is one.
    std::shared_ptr<DirectoryHandle> Open(FolderNode& folder, Tally& tally);
    OpenFolders& open_folders() { return open_folders_; }

private:
    OpenResult OpenWaitingForDescriptors(const FolderNode& folder);
    bool MakeRoomForAnOpen(std::uint64_t events);
    OpenResult OpenByPath(const FolderNode& folder);

    DirectoryReader& reader_;
    ScanFeed& feed_;
    WorkScheduler& scheduler_;
    // Declared before the folders that use it, so it outlives them all.
    OpenFolders open_folders_;
    std::shared_ptr<DirectoryHandle> anchor_;  // the starting folder, open throughout
    const FolderNode* root_ = nullptr;
};

}  // namespace orvane::engine
