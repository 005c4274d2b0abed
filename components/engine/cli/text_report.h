// The human-readable summary orvane-scan prints.
#pragma once

#include <cstdint>
#include <string>

#include "report/report_addenda.h"
#include "core/scanner.h"

namespace orvane::engine::cli {

// 1536 -> "1.5 KiB"; below 1 KiB plain bytes ("512 B").
std::string HumanBytes(std::uint64_t bytes);
// A name as it may be shown on a terminal: UTF-8 (U+FFFD for what is not
// valid), every control character written as an escape ("\x1b", "\x0a",
// "\u009b") so that no name can move the cursor, retitle the terminal or
// start a line of its own.
std::string DisplayText(NativeStringView name);
// The same for text that came as bytes from elsewhere (an earlier report).
std::string DisplayUtf8(std::string_view bytes);
// The totals and the largest folders, as printed on standard output.
std::string TextSummary(const ScanResult& result, std::size_t folder_lines);
// The space ledger of a volume scan.
std::string LedgerText(const Ledger& ledger);
// The totals then and now and the largest changes, at most `lines` of them.
std::string ChangesText(const ReportChanges& changes, std::uint64_t allocated_now,
                        std::size_t lines);
// One progress line, at most `width` columns (any width, however narrow):
// count, bytes, then the folder with its start dropped when it does not fit.
std::string ProgressLine(const ScanProgress& progress, std::size_t width);

}  // namespace orvane::engine::cli
