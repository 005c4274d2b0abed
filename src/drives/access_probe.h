// The access probe: whether a drive's root can be opened for listing.
#pragma once

#include <windows.h>

#include "drives/drive_root.h"

namespace orvane {

// Whether a Win32 error from listing a drive's root means "not accessible":
// every failure except "no files found" (ERROR_FILE_NOT_FOUND,
// ERROR_NO_MORE_FILES for an empty root). The one place that decides it.
bool IsNotAccessibleError(DWORD win32_error) noexcept;

// Lists the entries of the drive's root that match "*.*".
// Returns normally when the listing works or the root is empty; raises the
// bad-file-name error (52) when the root cannot be opened for listing.
void ProbeDriveRoot(const DriveRoot& drive);

// While alive, the calling thread gets error codes instead of the system's
// "insert a disk" boxes for drives without a medium.
class ScopedNoDriveErrorBoxes {
public:
    ScopedNoDriveErrorBoxes() noexcept;
    ~ScopedNoDriveErrorBoxes();
    ScopedNoDriveErrorBoxes(const ScopedNoDriveErrorBoxes&) = delete;
    ScopedNoDriveErrorBoxes& operator=(const ScopedNoDriveErrorBoxes&) = delete;

private:
    DWORD previous_ = 0;
    bool changed_ = false;
};

}  // namespace orvane
