#include "drives/used_space.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "drives/access_probe.h"
#include "orvane/text.h"

namespace orvane {

Currency QueryDriveUsedBytes(const std::wstring& drive) {
    ULARGE_INTEGER available_to_caller{}, total_bytes{}, total_free{};
    {
        const ScopedNoDriveErrorBoxes quiet;
        const std::string path = ToAnsi(drive);
        // On failure the counts stay 0, and so does the result.
        ::GetDiskFreeSpaceExA(path.c_str(), &available_to_caller, &total_bytes, &total_free);
    }
    // The volume's used space, not what this user may still write.
    return UsedBytesFromCounts(total_bytes.QuadPart, total_free.QuadPart);
}

Currency UsedBytesFromCounts(std::uint64_t total_bytes, std::uint64_t total_free_bytes) noexcept {
    if (total_free_bytes >= total_bytes) return Currency{};
    const std::uint64_t used = total_bytes - total_free_bytes;
    if (used > static_cast<std::uint64_t>(INT64_MAX)) return Currency::Max();
    // A large network volume may hold more bytes than the range can count:
    // the figure only sizes progress bars, so the largest value does.
    return Currency::FromScaled(static_cast<std::int64_t>(used))
        .SaturatingMultiplyBy(Currency::kScale);
}

}  // namespace orvane
