// The human-readable summary orvane-scan prints.
#pragma once

#include <cstdint>
#include <string>

#include "core/scanner.h"

namespace orvane::engine::cli {

// 1536 -> "1.5 KiB"; below 1 KiB plain bytes ("512 B").
std::string HumanBytes(std::uint64_t bytes);
// The totals and the largest folders, as printed on standard output.
std::string TextSummary(const ScanResult& result, std::size_t folder_lines);
// One progress line, at most `width` columns: count, bytes, then the folder
// with its start dropped when it does not fit.
std::string ProgressLine(const ScanProgress& progress, std::size_t width);

}  // namespace orvane::engine::cli
