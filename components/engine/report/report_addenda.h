// What a report holds beyond the scan itself: the space ledger of a whole
// volume and the changes since an earlier report. Plain data, so that the
// JSON writer in this folder can write them; they are worked out in
// components/engine/report/.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/native_string.h"

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

// Where every used byte of a volume went. found + remainder = used, to the
// byte; remainder is what the scan could not see (system areas, file system
// metadata, other users' or protected folders, shadow copies) and is
// negative only when the scan found more than the volume says is used.
struct Ledger {
    std::uint64_t volume_bytes = 0;
    std::uint64_t free_bytes = 0;
    std::uint64_t used_bytes = 0;   // volume - free, the wizard's own measure
    std::uint64_t found_bytes = 0;  // allocated bytes the scan found, hard-linked data once
    std::int64_t remainder_bytes = 0;
    std::uint64_t unreadable_folders = 0;
    std::uint64_t online_only_bytes = 0;
    std::uint64_t compression_saved_bytes = 0;
    std::string volume_serial;  // "1A2B-3C4D"; empty where the platform gives none
    // With the file table: found + explained + remainder = used.
    std::optional<ExplainedBytes> explained;
};

// What happened to a folder or file. Presence is told by the trees and the
// file lists, never by a size: what exists with 0 bytes is not gone.
enum class ChangeKind : std::uint8_t { kNew, kGone, kGrew, kShrank };

// Which size is only an upper bound: that report did not list the file, and
// listed none smaller than the number given, so the file was (or is) no
// larger, if it existed at all.
enum class SizeBound : std::uint8_t { kNone, kBefore, kAfter };

struct SizeChange {
    NativeString path;  // full path, in the newer report's terms
    bool folder = true;
    ChangeKind change = ChangeKind::kGrew;
    SizeBound bound = SizeBound::kNone;
    std::uint64_t allocated_before = 0;  // 0 when it is new
    std::uint64_t allocated_after = 0;   // 0 when it is gone
};

// "new", "gone", "grew", "shrank".
inline const char* ChangeKindName(ChangeKind change) {
    switch (change) {
        case ChangeKind::kNew:
            return "new";
        case ChangeKind::kGone:
            return "gone";
        case ChangeKind::kGrew:
            return "grew";
        case ChangeKind::kShrank:
            return "shrank";
    }
    return "";
}

struct PreviousTotals {
    std::string started_at;  // as the earlier report states it
    std::string report;      // its file name, where it is known
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    std::uint64_t allocated_bytes = 0;
    std::uint64_t apparent_bytes = 0;
    std::optional<std::uint64_t> used_bytes;  // when it had a ledger
};

struct ReportChanges {
    PreviousTotals previous;
    // Sorted by absolute change, largest first.
    std::vector<SizeChange> largest_changes;
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

struct ReportAddenda {
    ScanMethodNote method;
    std::optional<Ledger> ledger;          // only for a scan of a whole volume
    std::optional<ReportChanges> changes;  // only when there was something to compare with
};

}  // namespace orvane::engine
