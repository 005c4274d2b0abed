// What a report holds beyond the scan itself: how the scan was made, the
// space ledger of a whole volume and the changes since an earlier report.
// Plain data, put together by AssembleAddenda (report/assemble_addenda.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/native_string.h"
#include "core/source_facts.h"

namespace orvane::engine {

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

struct ReportAddenda {
    ScanMethodNote method;
    std::optional<Ledger> ledger;          // only for a scan of a whole volume
    std::optional<ReportChanges> changes;  // only when there was something to compare with
};

}  // namespace orvane::engine
