// What a way of scanning knows besides the entries it finds: whether the
// folders were walked or a volume's file table was read, and what the table
// told of the volume. Plain scan data, filled by the source (ntfs/) and
// turned into a report's method note and ledger by report/.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvane::engine {

// Used bytes the scan knows the purpose of although no file in the tree holds
// them: what reading the file table (rather than walking the folders) tells.
struct ExplainedBytes {
    std::uint64_t metadata = 0;           // the file system's own files
    std::uint64_t folder_indexes = 0;     // the folders' name indexes
    std::uint64_t alternate_streams = 0;  // named data streams of files and folders
    std::uint64_t other_attributes = 0;   // attribute lists, security, reparse and EA data
    std::uint64_t orphaned_damaged = 0;   // records in use outside the tree, or damaged

    std::uint64_t Sum() const {
        return metadata + folder_indexes + alternate_streams + other_attributes + orphaned_damaged;
    }
};

// How the scan was made: by walking the folders, or by reading an NTFS
// volume's file table.
struct ScanMethodNote {
    bool file_table = false;
    // A walk where the file table was tried: why it could not be read ("not
    // an NTFS volume", "the volume cannot be opened: Access is denied.").
    std::string table_unavailable;
    // With the file table: what it held besides the tree.
    std::uint64_t records_in_use = 0;
    std::uint64_t damaged_records = 0;
    std::uint64_t orphaned_records = 0;
};

// The volume as its own file table tells it.
struct TableVolumeFigures {
    std::uint64_t volume_bytes = 0;
    std::uint64_t free_bytes = 0;
    std::string serial;  // "1A2B-3C4D", as Windows shows an NTFS volume's
    ExplainedBytes explained;
};

struct SourceFacts {
    ScanMethodNote method;
    // Where the table was read together with its cluster bitmap.
    std::optional<TableVolumeFigures> table_volume;
};

}  // namespace orvane::engine
