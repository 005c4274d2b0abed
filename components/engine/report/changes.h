// What changed between an earlier report of the same drive and this scan:
// folders and files that grew, shrank, appeared or disappeared.
//
// Both reports hold only their largest folders and files, so a name missing
// from one of them may simply have been too small to be kept. A change is
// listed only when both sizes are known: the name is in both, or its absence
// is certain (its parent folder kept every subfolder, or the file list held
// every file). A renamed folder is one that is gone and one that appeared.
#pragma once

#include <cstddef>
#include <string>

#include "core/report_addenda.h"
#include "core/scanner.h"
#include "report/report_snapshot.h"

namespace orvane::engine::report {

// `before_name` is the earlier report's file name (may be empty). At most
// `limit` changes, largest absolute change first. A folder whose change is
// (nine tenths or more) in one of its subfolders is left out for that one, so the list
// points at where the change is rather than at each folder above it; the
// root is left out too (its change is the totals').
ReportChanges ComputeChanges(const ReportSnapshot& before, const ScanResult& after,
                             std::string before_name, std::size_t limit = 50);

// The change of one entry, positive when it grew.
long double SignedChange(const SizeChange& change);

}  // namespace orvane::engine::report
