#include "ntfs/table_walk.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

namespace orvane::engine::ntfs {
namespace {

// Names counted between looks at the feed, so a cancel is seen at once
// even in a folder of millions.
constexpr std::size_t kRunOfNames = 4096;

EntryKind KindOf(const TableRecord& record) {
    if (record.Has(kLinkReparse)) return EntryKind::kLink;
    return record.Has(kDirectory) ? EntryKind::kDirectory : EntryKind::kFile;
}

// Sizes as a Windows listing gives them, the link count as the table has it.
EntryStats StatsOf(const FileTable& table, std::uint32_t number, const TableRecord& record) {
    EntryStats stats;
    stats.allocated_bytes = record.data_allocated;
    stats.apparent_bytes = record.data_size;
    stats.file_id = table.FileId(number);
    stats.link_count = record.names;
    return stats;
}

// A folder's record, from the full reference its listing gave as file id.
std::uint64_t RecordOf(const FolderNode& folder) {
    return folder.identity.id & 0xFFFF'FFFF'FFFFull;
}

}  // namespace

SourceMaker TableWalk::Maker(const FileTable& table) {
    return [&table] { return std::make_unique<TableWalk>(table); };
}

bool TableWalk::Begin(const NativeString& root, ScanFeed& feed) {
    feed_ = &feed;
    if (table_.record_count() <= kRootRecord || !table_.record(kRootRecord).Has(kInUse)) {
        feed.RootUnreadable(OpenError::kNotFound, 0);
        return false;
    }
    try {
        tally_ = &feed.AddTally();
        FolderRef folder =
            feed.Root(*tally_, root, StatsOf(table_, kRootRecord, table_.record(kRootRecord)));
        thread_ = std::thread([this, folder = std::move(folder)]() mutable { Walk(folder); });
    } catch (const std::system_error&) {
        feed.Stop(ScanStatus::kNoWorkerThread);  // only the root is counted
        feed.End(0);
    } catch (const std::bad_alloc&) {
        feed.shared().NoteOutOfMemory();
        feed.End(0);
        return false;
    }
    return true;
}

void TableWalk::Join() {
    if (thread_.joinable()) thread_.join();
}

// Depth first, so only the folders on the way down and their waiting
// siblings exist at any time. A folder is complete once its listing is over
// and its subfolders are (the tally hands the sums up the chain).
void TableWalk::Walk(FolderRef root) {
    std::vector<FolderRef> pending{std::move(root)};
    while (!pending.empty()) {
        FolderRef folder = std::move(pending.back());
        pending.pop_back();
        if (!feed_->Stopping()) ListFolder(folder, pending);
        tally_->Complete(std::move(folder));
    }
    feed_->End(1);
}

// Out of memory, the walk stops like a cancel: what was counted stays
// counted, and the status says why the numbers are partial.
void TableWalk::ListFolder(const FolderRef& folder, std::vector<FolderRef>& pending) {
    Sums own;  // entries of this folder that are not walked themselves
    try {
        const std::uint64_t number = RecordOf(*folder);
        if (number >= table_.record_count() || !table_.record(number).Has(kDirectory)) {
            feed_->shared().RecordUnreadable(*folder, OpenError::kNotDirectory);
        } else {
            const auto names = table_.NamesIn(static_cast<std::uint32_t>(number));
            bool shown = false;
            for (std::size_t first = 0; first < names.size() && !feed_->Stopping();
                 first += kRunOfNames) {
                if (!shown) shown = feed_->ShowFolder(*folder, shown_);
                const auto run = names.subspan(first, std::min(kRunOfNames, names.size() - first));
                feed_->Counted(run.size(), CountNames(folder, run, own));
            }
            pending.reserve(pending.size() + subfolders_.size());
            folder->pending.fetch_add(static_cast<std::uint32_t>(subfolders_.size()),
                                      std::memory_order_relaxed);
            for (FolderRef& subfolder : subfolders_) pending.push_back(std::move(subfolder));
        }
    } catch (const std::bad_alloc&) {
        feed_->shared().NoteOutOfMemory();
    }
    subfolders_.clear();  // after a shortage: counted, never to be entered
    Tally::FolderListed(*folder, own);
}

std::uint64_t TableWalk::CountNames(const FolderRef& folder, std::span<const TableName> names,
                                    Sums& own) {
    std::uint64_t allocated = 0;
    DirEntry entry;
    for (const TableName& name : names) {
        const TableRecord record = table_.record(name.record);
        entry.name = table_.Text(name);
        entry.kind = KindOf(record);
        entry.stats = StatsOf(table_, name.record, record);
        AddSaturating(allocated, tally_->CountEntry(folder, entry, own, subfolders_));
    }
    return allocated;
}

}  // namespace orvane::engine::ntfs
