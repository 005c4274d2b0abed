// Filling the drive list: one entry per drive the system reports and the
// shell can name, with its icon; fixed drives checked, unreadable roots
// ghosted, each entry carrying its drive text ("C:"). The drive logic itself
// is in drives/; these members put its answers into the list.
#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "drives/access_probe.h"
#include "drives/drive_root.h"
#include "orvane/text.h"
#include "support/error_mode.h"
#include "wizard/frmWizard.h"

namespace orvane {

HIMAGELIST frmWizard::GetSystemImagelist(UINT uFlags) {
    SHFILEINFOA record{};
    return reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("C:\\", 0, &record, sizeof(record), uFlags | SHGFI_SYSICONINDEX));
}

LRESULT frmWizard::ListView_SetImageList(HWND hwnd, HIMAGELIST himl, int iImageList) {
    return ListView::SetImageList(hwnd, himl, iImageList);
}

void frmWizard::SetCheck(HWND hwnd, long lItemIndex, bool bState) {
    ListView::SetCheckState(hwnd, static_cast<int>(lItemIndex), bState);
}

void frmWizard::AddDriveEntry(ListView& lvw, const DriveRoot& drive, ErrorMode& errors) {
    std::optional<ShellDriveInfo> shell;
    errors.Run([&] { shell = QueryShellDriveInfo(drive); });
    if (!shell) return;  // the shell cannot name it: no entry

    int iItem = 0;
    errors.Run([&] { lvw.Add(shell->display_name); });
    errors.Run([&] {
        LVITEMA item{};
        item.mask = LVIF_IMAGE;
        iItem = lvw.Count() - 1;
        item.iItem = iItem;
        item.iImage = shell->icon_index;
        ListView_SetItem(lvw.hWnd(), item);
    });
    errors.Run([&] { lvw.SetTag(iItem + 1, drive.DriveText()); });

    // From here on a failing step is skipped; the probe's error number is
    // what decides the mark.
    errors.ArmResumeNext();
    errors.Run([&] { ProbeDriveRoot(drive); });
    if (errors.LastError() == kErrBadFileNameOrNumber)
        errors.Run([&] { lvw.SetGhosted(iItem + 1, true); });
    errors.Run([&] {
        if (IsFixedDrive(drive)) SetCheck(lvw.hWnd(), lvw.Count() - 1, true);
    });
}

void frmWizard::LoadDriveList(ListView& lvw, bool /*bLargeIcons: always the small icons*/) {
    lvw.Clear();
    const std::vector<char> buffer = LogicalDriveStrings();

    const HIMAGELIST small_icons = GetSystemImagelist(SHGFI_SMALLICON);
    ListView_SetImageList(lvw.hWnd(), small_icons, LVSIL_SMALL);

    ErrorMode errors;
    for (DriveStringWalk walk(buffer); auto entry = walk.Next();)
        AddDriveEntry(lvw, DriveRoot::FromRoot(FromAnsi(*entry)), errors);
}

}  // namespace orvane
