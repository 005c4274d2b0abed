// An earlier report read back: what the changes since then and the reports
// folder's index need, with names turned back into native text exactly
// (through their "_raw" hex where the report has one).
//
// Any program can write a report, so what is read is checked before it is
// used: numbers must be in their range, text valid UTF-8, the time a time,
// and the tree a tree (each folder's parent before it, names that are names,
// no two siblings of one name). A report that fails any of it is not read
// at all, and the reason says which.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/folder_tree.h"
#include "core/native_string.h"
#include "report/report_addenda.h"
#include "core/scanner.h"

namespace orvane::engine::report {

struct ReportSnapshot {
    NativeString root;
    std::string status;                       // "completed", "cancelled", "root_unreadable"...
    std::string started_at;                   // ISO 8601, UTC: sorts by time
    ScanTotals totals;                        // files, folders, bytes, unreadable folders
    std::optional<std::uint64_t> used_bytes;  // from the ledger
    std::string volume_serial;                // from the ledger; may be empty
    FolderTree tree;                          // empty in a version 1 report
    std::vector<FileSize> largest_files;
};

// Null when `json` is not a sound report of this program; `why` then says
// what is wrong with it. With `summary_only` the tree and the lists are left
// out (the index needs none of them) and only the head is read.
std::optional<ReportSnapshot> ReadReportSnapshot(std::string_view json, bool summary_only = false,
                                                 std::string* why = nullptr);

// Empty when `tree` is a tree as a report keeps one; else what is wrong.
std::string TreeFault(const FolderTree& tree);

// The totals of an earlier report as the changes state them.
PreviousTotals PreviousTotalsOf(const ReportSnapshot& snapshot, std::string report_name);

}  // namespace orvane::engine::report
