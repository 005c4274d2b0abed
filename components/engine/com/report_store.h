// Where the per-drive reports go and how they get there: one file per
// drive and run under the user's local application data, written whole or
// not at all.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>

namespace orvane::engine::com {

// %LOCALAPPDATA%\Mevrak\Orvane Analyzer\Reports, created when missing.
HRESULT EnsureReportsFolder(std::wstring& folder);

// "C-20261207-201530.json" for drive C: at that local time.
std::wstring ReportFileName(wchar_t drive_letter, const SYSTEMTIME& local_time);

// A name in `folder` no file has yet: the plain name, else "-2", "-3"...
// appended before the extension, so two runs in one second keep both.
std::wstring UnusedReportPath(const std::wstring& folder, const std::wstring& file_name);

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`, so a reader never sees a half-written report. When `abandon` is
// set by the time the data is down, the file is dropped instead.
HRESULT WriteFileAtomically(const std::wstring& path, std::string_view bytes,
                            const std::atomic<bool>* abandon = nullptr);

}  // namespace orvane::engine::com
