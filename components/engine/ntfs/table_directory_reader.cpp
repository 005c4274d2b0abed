#include "ntfs/table_directory_reader.h"

#include <algorithm>

namespace orvane::engine::ntfs {
namespace {

// A few thousand entries a batch, as the scanner asks of every backend, so a
// cancel is seen between batches.
constexpr std::size_t kBatchEntries = 2048;

EntryKind KindOf(const TableRecord& record) {
    if (record.Has(kLinkReparse)) return EntryKind::kLink;
    return record.Has(kDirectory) ? EntryKind::kDirectory : EntryKind::kFile;
}

// Sizes as a Windows listing gives them, the link count as the table has it.
EntryStats StatsOf(const FileTable& table, std::uint32_t number) {
    const TableRecord& record = table.record(number);
    EntryStats stats;
    stats.allocated_bytes = record.data_allocated;
    stats.apparent_bytes = record.data_size;
    stats.file_id = table.FileId(number);
    stats.link_count = record.names;
    return stats;
}

class TableFolder : public DirectoryHandle {
public:
    TableFolder(const FileTable& table, std::uint32_t folder)
        : table_(table), names_(table.NamesIn(folder)) {}

    ReadStatus ReadBatch(std::vector<DirEntry>& batch) override {
        batch.clear();
        const std::size_t end = std::min(names_.size(), next_ + kBatchEntries);
        for (; next_ < end; ++next_) {
            const TableName& name = names_[next_];
            DirEntry entry;
            entry.name = table_.Text(name);
            entry.kind = KindOf(table_.record(name.record));
            entry.stats = StatsOf(table_, name.record);
            batch.push_back(entry);
        }
        return batch.empty() ? ReadStatus::kEnd : ReadStatus::kEntries;
    }

private:
    const FileTable& table_;
    std::span<const TableName> names_;
    std::size_t next_ = 0;
};

class TableDirectoryReader : public DirectoryReader {
public:
    explicit TableDirectoryReader(const FileTable& table) : table_(table) {}

    OpenResult OpenRoot(const NativeString&) override { return Open(kRootRecord); }

    // The listing gave the child's full reference, which is all it takes.
    OpenResult OpenChild(DirectoryHandle&, NativeStringView, std::uint64_t listed_id) override {
        const std::uint64_t number = listed_id & 0xFFFF'FFFF'FFFFull;
        if (number >= table_.record_count() ||
            !table_.record(static_cast<std::uint32_t>(number)).Has(kDirectory)) {
            OpenResult result;
            result.error = OpenError::kNotDirectory;
            return result;
        }
        return Open(static_cast<std::uint32_t>(number));
    }

    NativeChar Separator() const override { return kNativeSeparator; }

private:
    OpenResult Open(std::uint32_t number) {
        OpenResult result;
        if (number >= table_.record_count() || !table_.record(number).Has(kInUse)) {
            result.error = OpenError::kNotFound;
            return result;
        }
        result.handle = std::make_unique<TableFolder>(table_, number);
        result.self = StatsOf(table_, number);
        return result;
    }

    const FileTable& table_;
};

}  // namespace

std::unique_ptr<DirectoryReader> CreateTableDirectoryReader(const FileTable& table) {
    return std::make_unique<TableDirectoryReader>(table);
}

}  // namespace orvane::engine::ntfs
