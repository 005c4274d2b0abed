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
    // A root that cannot be opened for listing is not accessible, whatever
    // the reason: no medium, a missing path, an unreachable share, a volume
    // being checked (sharing or lock violation), a corrupt or unknown file
    // system, a locked encrypted volume, denied access. Only "no files
    // found" is an answer from a readable root: an empty one.
    return win32_error != ERROR_SUCCESS && win32_error != ERROR_FILE_NOT_FOUND &&
           win32_error != ERROR_NO_MORE_FILES;
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
    if (IsNotAccessibleError(error)) RaiseError(kErrBadFileNameOrNumber);
}

}  // namespace orvane
