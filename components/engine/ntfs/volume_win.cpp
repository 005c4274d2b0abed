// A volume on Windows: the drive's volume device (\\.\C:), opened for
// reading only, which takes administrator rights. Unbuffered, so Windows
// itself refuses any read that is not sector-aligned.
#include <windows.h>
#include <winioctl.h>

#include "ntfs/file_table_source.h"
#include "ntfs/volume_reader.h"
#include "orvane/system_error.h"
#include "orvane/win32_handles.h"

namespace orvane::engine::ntfs {
namespace {

class DeviceVolume : public VolumeReader {
public:
    DeviceVolume(unique_file handle, std::uint64_t size)
        : handle_(std::move(handle)), size_(size) {}

    bool Read(std::uint64_t offset, void* buffer, std::size_t length) override {
        auto* out = static_cast<std::uint8_t*>(buffer);
        while (length > 0) {
            OVERLAPPED at{};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
            DWORD got = 0;
            if (!::ReadFile(handle_.get(), out, ask, &got, &at) || got == 0) return false;
            out += got;
            offset += got;
            length -= got;
        }
        return true;
    }
    std::uint64_t Size() const override { return size_; }

private:
    unique_file handle_;
    std::uint64_t size_;
};

// "C:", "C:\" or "c:/" name drive C; anything else is no drive.
bool DriveLetterOf(const NativeString& path, wchar_t& letter) {
    if (path.size() < 2 || path.size() > 3 || path[1] != L':') return false;
    if (path.size() == 3 && path[2] != L'\\' && path[2] != L'/') return false;
    letter = path[0];
    return (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
}

}  // namespace

bool IsVolumePath(const NativeString& path) {
    wchar_t letter = 0;
    return DriveLetterOf(path, letter);
}

OpenedVolume OpenVolume(const NativeString& path) {
    OpenedVolume opened;
    wchar_t letter = 0;
    if (!DriveLetterOf(path, letter)) {
        opened.error = "not a drive";
        return opened;
    }
    const std::wstring device = std::wstring(L"\\\\.\\") + letter + L":";
    unique_file handle(::CreateFileW(device.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr));
    if (!handle) {
        opened.error = SystemErrorText(static_cast<int>(::GetLastError()));
        return opened;
    }
    // Wine answers no length for a drive's raw device: the boot sector's
    // own figure then bounds every read.
    GET_LENGTH_INFORMATION length{};
    DWORD returned = 0;
    const std::uint64_t size = ::DeviceIoControl(handle.get(), IOCTL_DISK_GET_LENGTH_INFO, nullptr,
                                                 0, &length, sizeof length, &returned, nullptr)
                                   ? static_cast<std::uint64_t>(length.Length.QuadPart)
                                   : 0;
    opened.reader = std::make_unique<DeviceVolume>(std::move(handle), size);
    return opened;
}

}  // namespace orvane::engine::ntfs
