// The file table held in memory: per record its data sizes and a few flags,
// per name its file, the names grouped by folder, and their text in one
// arena. It is what the reader keeps of a whole volume, so it is packed: 8
// bytes a record, 8 a name plus the name's text and its length (a file with
// one name of 20 characters: 37 bytes on Linux; docs/report-format.md has
// the figures).
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
#include "ntfs/name_arena.h"
#include "ntfs/pod_array.h"

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

// What the table says of one record.
struct TableRecord {
    std::uint64_t data_allocated = 0;  // the unnamed stream's clusters, in bytes
    std::uint64_t data_size = 0;       // its logical size
    std::uint16_t sequence = 0;
    std::uint8_t flags = 0;  // RecordFlag
    std::uint8_t names = 0;  // names in the tree, up to 255

    bool Has(RecordFlag flag) const { return (flags & flag) != 0; }
};

// How a record is kept. Most files' data is either resident (no clusters)
// or takes whole clusters for its logical size below 4 GiB; a record whose
// sizes say otherwise (larger, compressed, sparse, allocated ahead) keeps
// them aside, as does one with non-resident attributes besides its data.
struct PackedRecord {
    std::uint32_t size = 0;  // the logical size, unless kSizesAside
    std::uint16_t sequence = 0;
    std::uint8_t flags = 0;  // RecordFlag and the flags below
    std::uint8_t names = 0;

    static constexpr std::uint8_t kWholeClusters = 0x20;  // allocated: size rounded up to clusters
    static constexpr std::uint8_t kSizesAside = 0x40;
    static constexpr std::uint8_t kExtrasAside = 0x80;
    static constexpr std::uint8_t kPublicFlags = 0x1F;

    bool Has(std::uint8_t flag) const { return (flags & flag) != 0; }
};
static_assert(sizeof(PackedRecord) == 8);

// Non-resident attributes other than the unnamed stream, few records have any.
struct RecordExtras {
    std::uint64_t streams = 0;  // named $DATA
    std::uint64_t indexes = 0;  // $INDEX_ALLOCATION, $BITMAP
    std::uint64_t other = 0;    // attribute lists, security, reparse, extended attributes...
};

// What does not fit a PackedRecord; one per such record once settled.
struct RecordAside {
    std::uint32_t record = 0;
    bool has_sizes = false;
    std::uint64_t data_allocated = 0;
    std::uint64_t data_size = 0;
    RecordExtras extras;
};

struct TableName {
    std::uint32_t record = 0;
    std::uint32_t text = 0;  // the name's place in the arena
};
static_assert(sizeof(TableName) == 8);

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
    TableRecord record(std::uint32_t number) const;
    // The names in folder `folder`, metafiles left out.
    std::span<const TableName> NamesIn(std::uint32_t folder) const;
    NativeStringView Text(const TableName& name) const { return arena_.View(name.text); }
    // The file id a listing gives: the record's full reference.
    std::uint64_t FileId(std::uint32_t number) const {
        return std::uint64_t{records_[number].sequence} << 48 | number;
    }
    std::size_t name_count() const { return names_.size(); }

private:
    friend class TableBuilder;
    // A folder's names are names_[begin, the next folder's begin).
    struct FolderNames {
        std::uint32_t folder = 0;
        std::uint32_t begin = 0;
    };
    const RecordAside* Aside(std::uint32_t number) const;
    RecordExtras Extras(std::uint32_t number) const;

    VolumeGeometry geometry_;
    TableFacts facts_;
    std::vector<PackedRecord> records_;
    std::vector<RecordAside> aside_;    // by record
    PodArray<TableName> names_;         // grouped by folder, in no order within one
    std::vector<FolderNames> folders_;  // by folder, then one past the last name
    NameArena arena_;
};

}  // namespace orvane::engine::ntfs
