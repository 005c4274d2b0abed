// The space ledger of a whole volume: the volume's own figures set against
// what the scan found, so that every used byte is accounted for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/native_string.h"
#include "report/report_addenda.h"
#include "core/scanner.h"

namespace orvane::engine::report {

struct VolumeInfo {
    std::uint64_t total_bytes = 0;
    std::uint64_t free_bytes = 0;
    std::string serial;  // empty where the platform gives none
};

// The volume `root` is the top of, or nothing when `root` is a folder inside
// a volume (or the volume cannot be asked). Implemented per platform.
std::optional<VolumeInfo> QueryVolume(const NativeString& root);

// used = total - free (never below 0), remainder = used - found - explained.
Ledger MakeLedger(const VolumeInfo& volume, const ScanTotals& totals,
                  const std::optional<ExplainedBytes>& explained = std::nullopt);

// What identifies a volume across reports: its serial number, else the
// drive (or root) the report names.
std::string VolumeKey(const std::string& serial, const NativeString& root);

}  // namespace orvane::engine::report
