// The file table held in memory: per record its data sizes and a few flags,
// per name its folder, and the names' text in one arena. It is what the
// reader keeps of a whole volume, so it is packed: 24 bytes a record, 16 a
// name plus the name's text (docs/report-format.md has the figures).
//
// Built record by record in any order (TableBuilder), then settled once:
// extension records joined to their base, names attached to folders that
// exist, metafiles and orphans told apart, and every byte the records hold
// put in one category of the ledger.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/native_string.h"
#include "core/source_facts.h"
#include "ntfs/boot_sector.h"

namespace orvane::engine::ntfs {

inline constexpr std::uint32_t kRootRecord = 5;
inline constexpr std::uint32_t kExtendRecord = 11;
// Records below this number are the file system's own (16 to 23 reserved).
inline constexpr std::uint32_t kFirstUserRecord = 24;

enum RecordFlag : std::uint8_t {
    kInUse = 0x01,  // a base record that checked out
    kDirectory = 0x02,
    kLinkReparse = 0x04,  // a reparse point that stands for another name (junction, symlink)
    kReachable = 0x08,    // in the tree under the root
    kMetafile = 0x10,
};

struct TableRecord {
    std::uint64_t data_allocated = 0;  // the unnamed stream's clusters, in bytes
    std::uint64_t data_size = 0;       // its logical size
    std::uint32_t extras = 0;          // 1 + index into the extras, 0: none
    std::uint16_t sequence = 0;
    std::uint8_t flags = 0;
    std::uint8_t names = 0;  // names in the tree, up to 255

    bool Has(RecordFlag flag) const { return (flags & flag) != 0; }
};
static_assert(sizeof(TableRecord) == 24);

// Non-resident attributes other than the unnamed stream, few records have any.
struct RecordExtras {
    std::uint64_t streams = 0;  // named $DATA
    std::uint64_t indexes = 0;  // $INDEX_ALLOCATION, $BITMAP
    std::uint64_t other = 0;    // attribute lists, security, reparse, extended attributes...
};

struct TableName {
    std::uint32_t record = 0;
    std::uint32_t parent = 0;
    std::uint32_t text = 0;  // offset into the arena
    std::uint16_t parent_sequence = 0;
    std::uint16_t length = 0;  // native units
};
static_assert(sizeof(TableName) == 16);

// What the reading met besides the tree.
struct TableFacts {
    std::uint64_t records_in_use = 0;    // base records that checked out
    std::uint64_t damaged_records = 0;   // failed their checks, or could not be read
    std::uint64_t orphaned_records = 0;  // in use, but not under the root
    std::uint64_t used_clusters = 0;     // per the volume's $Bitmap
    bool used_known = false;             // the $Bitmap could be read
    ExplainedBytes explained;
};

class FileTable {
public:
    const VolumeGeometry& geometry() const { return geometry_; }
    const TableFacts& facts() const { return facts_; }
    std::size_t record_count() const { return records_.size(); }
    const TableRecord& record(std::uint32_t number) const { return records_[number]; }
    // The names in folder `folder`, metafiles left out.
    std::span<const TableName> NamesIn(std::uint32_t folder) const;
    NativeStringView Text(const TableName& name) const {
        return NativeStringView(arena_.data() + name.text, name.length);
    }
    // The file id a listing gives: the record's full reference.
    std::uint64_t FileId(std::uint32_t number) const {
        return std::uint64_t{records_[number].sequence} << 48 | number;
    }

private:
    friend class TableBuilder;
    VolumeGeometry geometry_;
    TableFacts facts_;
    std::vector<TableRecord> records_;
    std::vector<RecordExtras> extras_;
    std::vector<TableName> names_;  // sorted by parent once settled
    NativeString arena_;
};

}  // namespace orvane::engine::ntfs
