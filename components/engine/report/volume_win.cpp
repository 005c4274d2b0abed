// A Windows root is a volume when it is a drive root ("C:\"); its serial
// number tells the volume apart from another one given the same letter.
#include <windows.h>

#include <cstdio>

#include "report/ledger.h"

namespace orvane::engine::report {

std::optional<VolumeInfo> QueryVolume(const NativeString& root) {
    const bool drive_root =
        (root.size() == 2 || (root.size() == 3 && root[2] == L'\\')) && root[1] == L':' &&
        ((root[0] >= L'A' && root[0] <= L'Z') || (root[0] >= L'a' && root[0] <= L'z'));
    if (!drive_root) return std::nullopt;
    const std::wstring path{root[0], L':', L'\\'};
    ULARGE_INTEGER total{};
    ULARGE_INTEGER total_free{};
    // Free for everyone, not just for this user's quota: used = total - free
    // is the drive's own measure.
    if (!::GetDiskFreeSpaceExW(path.c_str(), nullptr, &total, &total_free)) return std::nullopt;
    VolumeInfo info;
    info.total_bytes = total.QuadPart;
    info.free_bytes = total_free.QuadPart;
    DWORD serial = 0;
    if (::GetVolumeInformationW(path.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) &&
        serial != 0) {
        char text[16];
        std::snprintf(text, sizeof text, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                      static_cast<unsigned>(serial & 0xFFFF));
        info.serial = text;
    }
    return info;
}

}  // namespace orvane::engine::report
