#include "core/folder_opener.h"

#include <chrono>
#include <vector>

namespace orvane::engine {
namespace {

// Out of descriptors, how long to wait for another worker's folder to close,
// and, with nothing left to close, how long without any folder opened or
// closed by another worker before giving up.
constexpr std::chrono::milliseconds kDescriptorWait{100};
constexpr std::chrono::milliseconds kLastDescriptorWait{1000};
// Parents' folders closed at a time to make room.
constexpr std::size_t kParentsToRelease = 8;

}  // namespace

OpenResult FolderOpener::OpenRoot(const NativeString& root) { return reader_.OpenRoot(root); }

void FolderOpener::SetRoot(const FolderNode& root, std::unique_ptr<DirectoryHandle> handle) {
    root_ = &root;
    anchor_ = open_folders_.Adopt(std::move(handle));
}

std::shared_ptr<DirectoryHandle> FolderOpener::Open(FolderNode& folder, Tally& tally) {
    if (&folder == root_) return anchor_;
    OpenResult opened = OpenWaitingForDescriptors(folder);
    folder.parent_handle.reset();
    if (opened.error == OpenError::kNoDescriptors) {
        if (!feed_.Stopping()) {
            feed_.Stop(ScanStatus::kOutOfFileDescriptors);
            scheduler_.WakeAll();
        }
        if (folder.kind_unknown) tally.SettleKind(folder, OpenError::kOther);
        return nullptr;
    }
    bool a_folder = !folder.kind_unknown || tally.SettleKind(folder, opened.error);
    if (!opened.handle) {
        // kNone: replaced since it was listed; counted, never entered.
        if (a_folder && opened.error != OpenError::kNone)
            feed_.shared().RecordUnreadable(folder, opened.error);
        return nullptr;
    }
    return open_folders_.Adopt(std::move(opened.handle));
}

OpenResult FolderOpener::OpenWaitingForDescriptors(const FolderNode& folder) {
    for (;;) {
        const std::uint64_t events = open_folders_.Events();
        OpenResult opened =
            folder.parent_handle
                ? reader_.OpenChild(*folder.parent_handle, folder.name, folder.identity.id)
                : OpenByPath(folder);
        if (opened.error != OpenError::kNoDescriptors || feed_.Stopping()) return opened;
        if (!MakeRoomForAnOpen(events)) return opened;
    }
}

// True when the open is worth another try: a folder being listed will
// close, queued folders' parents could be closed, or other workers still
// opened or closed folders since `events`. False when the walk is stuck.
bool FolderOpener::MakeRoomForAnOpen(std::uint64_t events) {
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
OpenResult FolderOpener::OpenByPath(const FolderNode& folder) {
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

}  // namespace orvane::engine
