// The JSON analysis report shared by every front end (format in
// docs/report-format.md).
//
// Names become UTF-8. A path that is not valid in its native encoding (bytes
// that are not UTF-8 on POSIX, unpaired surrogates on Windows) is written with
// U+FFFD in place of each bad unit, and the exact native units follow in a
// sibling field "<field>_raw" as lowercase hex (bytes on POSIX, 4 hex digits
// per UTF-16 unit on Windows), so the report stays valid JSON and the name can
// be recovered.
#pragma once

#include <string>

#include "core/native_string.h"
#include "core/scanner.h"
#include "report/report_addenda.h"
#include "report/report_names.h"

namespace orvane::engine {

// Version 4 of the format: version 1's fields, then the tree, and the ledger
// and the changes when `addenda` has them (version 3 says what each change
// is; version 4 lists a kept folder's files as arrays, not objects).
std::string ReportJson(const ScanResult& result, const ReportAddenda& addenda = {});

// "2026-12-07T20:22:34Z".
std::string Iso8601Utc(std::chrono::system_clock::time_point when);

}  // namespace orvane::engine
