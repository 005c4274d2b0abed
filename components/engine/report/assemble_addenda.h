// The one place where what a report holds beyond the scan is put together,
// for the command line and the component alike: how the scan was made, the
// ledger of a whole volume and the changes since an earlier report.
#pragma once

#include <functional>
#include <string>

#include "core/scanner.h"
#include "core/source_facts.h"
#include "report/report_addenda.h"
#include "report/report_snapshot.h"

namespace orvane::engine::report {

// Whom the ledger may ask for the volume's figures when its file table was
// read but gave none (its cluster bitmap could not be read). A drive is its
// own volume, so the platform knows it; a volume image read as a file is
// not, and the volume that holds the file says nothing of it.
enum class LedgerFallback { kNone, kPlatform };

// The report to set the scan against, and its file name (UTF-8); a null
// snapshot when there is none.
struct EarlierReport {
    const ReportSnapshot* snapshot = nullptr;
    std::string name;
};
// Asked once the method and the ledger are in place (the ledger tells which
// volume was scanned, and so which earlier report is its), before the
// changes are worked out.
using FindEarlierReport = std::function<EarlierReport(const ReportAddenda& so_far)>;

// The ledger only for a completed scan of a whole volume: from the table's
// figures where there are some, else from the platform when the folders were
// walked (or `fallback` allows). The changes when `find_earlier` gives a
// report.
ReportAddenda AssembleAddenda(const ScanResult& result, const SourceFacts& source,
                              LedgerFallback fallback, const FindEarlierReport& find_earlier = {});

}  // namespace orvane::engine::report
