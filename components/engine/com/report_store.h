// Where the per-drive reports go: one file per drive and run under the
// user's local application data (written with orvane/atomic_file.h).
#pragma once

#include <windows.h>

#include <string>

namespace orvane::engine::com {

// %LOCALAPPDATA%\Mevrak\Orvane Analyzer\Reports, created when missing.
HRESULT EnsureReportsFolder(std::wstring& folder);

// "C-20261207-201530.json" for drive C: at that time (UTC: the page and the
// JSON say the time in UTC; names made in local time by earlier versions
// have the same form, and retention orders reports by their started_at).
std::wstring ReportFileName(wchar_t drive_letter, const SYSTEMTIME& utc_time);

// A name in `folder` no file has yet: the plain name, else "-2", "-3"...
// appended before the extension, so two runs in one second keep both.
std::wstring UnusedReportPath(const std::wstring& folder, const std::wstring& file_name);

}  // namespace orvane::engine::com
