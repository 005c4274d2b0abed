// The used space of a drive: the volume's size minus its free space.
#pragma once

#include <cstdint>
#include <string>

#include "support/currency.h"

namespace orvane {

// The bytes in use on drive (the drive text, "C:") as a Currency byte count
// (1,000 bytes are the value 1000). 0 when the query fails; pinned to
// Currency::Max() for a volume too large for the range instead of failing.
Currency QueryDriveUsedBytes(const std::wstring& drive);

// The arithmetic of the above: (total - free) bytes as a byte count, 0 when
// free is not below total, Currency::Max() beyond the range.
Currency UsedBytesFromCounts(std::uint64_t total_bytes, std::uint64_t total_free_bytes) noexcept;

}  // namespace orvane
