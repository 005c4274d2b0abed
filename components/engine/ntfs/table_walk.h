// The file table as a way of finding entries: its folder tree, held in
// memory, handed to the tally folder by folder on one thread of its own.
// Nothing is opened and nothing waits, so more threads would only split the
// counting, which is cheap next to reading the table; one thread keeps it in
// the tree's order and needs no scheduler.
//
// Entries are what a listing of the volume gives (ntfs/file_table.h): every
// name in the tree, with its record's data sizes, the record's full
// reference as file id and its names as link count, so hard-linked data is
// counted once; a reparse point that stands for another name is a link,
// never followed.
#pragma once

#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "core/scan_source.h"
#include "ntfs/file_table.h"

namespace orvane::engine::ntfs {

class TableWalk final : public ScanSource {
public:
    // `table` must outlive the walk.
    explicit TableWalk(const FileTable& table) : table_(table) {}
    ~TableWalk() override { Join(); }
    // A maker for a Scanner: a walk of `table` for each scan.
    static SourceMaker Maker(const FileTable& table);

    NativeChar Separator() const override { return kNativeSeparator; }
    bool Begin(const NativeString& root, ScanFeed& feed) override;
    // The thread looks at the feed between short runs of names: nothing to wake.
    void Wake() override {}
    void Join() override;

private:
    void Walk(FolderRef root);
    void ListFolder(const FolderRef& folder, std::vector<FolderRef>& pending);
    std::uint64_t CountNames(const FolderRef& folder, std::span<const TableName> names, Sums& own);

    const FileTable& table_;
    ScanFeed* feed_ = nullptr;
    Tally* tally_ = nullptr;
    std::vector<FolderRef> subfolders_;
    NativeString shown_;  // scratch for the folder shown
    std::thread thread_;
};

}  // namespace orvane::engine::ntfs
