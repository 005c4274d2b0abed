#include "drives/access_probe.h"

#include "support/app_error.h"
#include "orvane/win32_handles.h"

namespace orvane {

ScopedNoDriveErrorBoxes::ScopedNoDriveErrorBoxes() noexcept
    : changed_(::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_) !=
               FALSE) {}

ScopedNoDriveErrorBoxes::~ScopedNoDriveErrorBoxes() {
    if (changed_) ::SetThreadErrorMode(previous_, nullptr);
}

bool IsNotAccessibleError(DWORD win32_error) noexcept {
    switch (win32_error) {
        // No medium in the drive, or the device is not there.
        case ERROR_NOT_READY:
        case ERROR_NO_MEDIA_IN_DRIVE:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        // A medium the device cannot read (a damaged disc, a failing disk).
        case ERROR_CRC:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_GEN_FAILURE:
        case ERROR_IO_DEVICE:
        // The drive letter or the path behind it does not exist.
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        // A network path that cannot be reached.
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_NETNAME_DELETED:
        case ERROR_NO_NET_OR_BAD_PATH:
        case ERROR_NO_NETWORK:
        case ERROR_NETWORK_UNREACHABLE:
        case ERROR_HOST_UNREACHABLE:
        case ERROR_REM_NOT_LIST:
        case ERROR_UNEXP_NET_ERR:
        case ERROR_BAD_NET_RESP:
        case ERROR_NOT_CONNECTED:
        case ERROR_SEM_TIMEOUT:  // what an unreachable file server usually answers
        // A medium whose file system the system does not recognise.
        case ERROR_UNRECOGNIZED_VOLUME:
        case ERROR_UNRECOGNIZED_MEDIA:
        case ERROR_NOT_DOS_DISK:
        // The user may not list the root.
        case ERROR_ACCESS_DENIED:
        case ERROR_NETWORK_ACCESS_DENIED:
        case ERROR_LOGON_FAILURE:
            return true;
        default:
            return false;
    }
}

void ProbeDriveRoot(const DriveRoot& drive) {
    const std::wstring pattern = drive.Root() + L"*.*";
    WIN32_FIND_DATAW found{};
    DWORD error = ERROR_SUCCESS;
    {
        const ScopedNoDriveErrorBoxes quiet;
        const unique_find listing(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                                     FindExSearchNameMatch, nullptr, 0));
        if (listing) return;
        error = ::GetLastError();
    }
    // A root with nothing in it is still a readable drive.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return;
    if (IsNotAccessibleError(error)) RaiseError(kErrBadFileNameOrNumber);
    RaiseHresult(HRESULT_FROM_WIN32(error));
}

}  // namespace orvane
