#include "drives/used_space.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "drives/access_probe.h"

namespace orvane {

namespace {

std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                              length, nullptr, nullptr);
    }
    return bytes;
}

}  // namespace

Currency QueryDriveUsedBytes(const std::wstring& drive) {
    ULARGE_INTEGER availableToCaller{}, totalBytes{}, totalFree{};
    {
        const ScopedNoDriveErrorBoxes quiet;
        const std::string path = ToAnsi(drive);
        // On failure the counts stay 0, and so does the result.
        ::GetDiskFreeSpaceExA(path.c_str(), &availableToCaller, &totalBytes, &totalFree);
    }
    // The volume's used space, not what this user may still write.
    return UsedBytesFromCounts(totalBytes.QuadPart, totalFree.QuadPart);
}

Currency UsedBytesFromCounts(std::uint64_t totalBytes, std::uint64_t totalFreeBytes) noexcept {
    if (totalFreeBytes >= totalBytes) return Currency{};
    const std::uint64_t used = totalBytes - totalFreeBytes;
    if (used > static_cast<std::uint64_t>(INT64_MAX)) return Currency::Max();
    // A large network volume may hold more bytes than the range can count:
    // the figure only sizes progress bars, so the largest value does.
    return Currency::FromScaled(static_cast<std::int64_t>(used))
        .SaturatingMultiplyBy(Currency::kScale);
}

}  // namespace orvane
