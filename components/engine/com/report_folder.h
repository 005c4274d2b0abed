// The reports folder as a person finds it: each drive's report as JSON and
// as a page beside it, what changed since that drive's previous report, an
// index page of them all, and no more than the newest 20 reports per
// volume. Nothing is ever written or deleted outside the folder, and only
// files named the way this program names its reports are deleted.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>

#include "core/scanner.h"
#include "core/source_facts.h"

namespace orvane::engine::com {

// Writes "No drive has been analysed yet" as the index when the folder has
// no index, so that a link to it always opens something.
HRESULT EnsureReportsIndex(const std::wstring& folder);

// Writes `result` as `json_path` (in `folder`) and its page beside it, with
// the ledger of its volume and the changes since the newest earlier
// completed report of the same volume; then retires old reports and
// rewrites the index. When `abandon` is set before the files are in place,
// nothing is published. On failure `failure` (when given) says what could
// not be done. `source` is what the way of scanning knows: how the drive
// was scanned, and its volume's own figures where its file table was read.
HRESULT PublishReport(const std::wstring& folder, const std::wstring& json_path,
                      const ScanResult& result, const SourceFacts& source,
                      const std::atomic<bool>* abandon, std::string* failure = nullptr);

// "C-20261207-201530.json", or with "-2", "-3"... before the extension.
bool IsReportFileName(std::wstring_view name);

}  // namespace orvane::engine::com
