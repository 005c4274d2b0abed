// What changed between an earlier report of the same folder and this scan:
// folders and files that are new, gone, grew or shrank.
//
// Both reports hold only their largest folders and files, so a name missing
// from one of them may simply have been too small to be kept. Whether a
// folder or file exists is told by the trees and the file lists, never by a
// size of 0: a folder is new or gone only when its parent in the other
// report kept every subfolder; a file when its folder is new or gone, or the
// other report's list held every file. Where the other list was cut, a file
// larger than everything it kept is still named, with that smallest size as
// a bound on the side it is missing from. Inside a new folder everything is
// new; inside a gone folder nothing is listed apart from it. A renamed
// folder is one that is gone and one that is new.
//
// The work is linear in the trees and lists (sorting aside) and iterative:
// nothing recurses on a path's depth, and full paths are built only for
// the changes finally listed.
#pragma once

#include <cstddef>
#include <string>

#include "report/report_addenda.h"
#include "core/scanner.h"
#include "report/report_snapshot.h"

namespace orvane::engine::report {

// `before_name` is the earlier report's file name, UTF-8 (may be empty). At
// most `limit` changes, largest absolute change first. A folder whose change
// is (nine tenths or more) in one of its subfolders is left out for that
// one, so the list points at where the change is rather than at each folder
// above it; the root is left out too (its change is the totals').
ReportChanges ComputeChanges(const ReportSnapshot& before, const ScanResult& after,
                             std::string before_name, std::size_t limit = 50);

// Whether two roots name the same folder (a drive letter's case and a
// trailing separator aside).
bool SameRoot(const NativeString& a, const NativeString& b);

// The change of one entry, positive when it grew.
long double SignedChange(const SizeChange& change);

}  // namespace orvane::engine::report
