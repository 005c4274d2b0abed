// The used space of a drive: the volume's size minus its free space.
#pragma once

#include <string>

#include "support/currency.h"

namespace orvane {

// The bytes in use on drive (the drive text, "C:") as a Currency byte count
// (1,000 bytes are the value 1000). 0 when the query fails; pinned to
// Currency::Max() for a volume too large for the range instead of failing.
Currency QueryDriveUsedBytes(const std::wstring& drive);

}  // namespace orvane
