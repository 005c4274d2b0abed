// Filling the drive list: one entry per drive the system reports and the
// shell can name, with its icon; fixed drives checked, unreadable roots
// ghosted, each entry carrying its drive text ("C:").
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/mMain.h"
#include "drives/access_probe.h"
#include "drives/drive_text.h"
#include "support/ansi_text.h"
#include "support/error_mode.h"
#include "wizard/frmWizard.h"

namespace orvane {

HIMAGELIST frmWizard::GetSystemImagelist(UINT uFlags) {
    SHFILEINFOA record{};
    return reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("C:\\", 0, &record, sizeof(record), uFlags | SHGFI_SYSICONINDEX));
}

LRESULT frmWizard::ListView_SetImageList(HWND hwnd, HIMAGELIST himl, int iImageList) {
    return ::SendMessageA(hwnd, LVM_SETIMAGELIST, static_cast<WPARAM>(iImageList),
                          reinterpret_cast<LPARAM>(himl));
}

void frmWizard::SetCheck(HWND hwnd, long lItemIndex, bool bState) {
    LVITEMA item{};
    item.mask = LVIF_STATE;
    item.state = bState ? 0x2000 : 0x1000;
    // The state-image bits and all above them; focus and selection stay.
    item.stateMask = 0xFFFFF000;
    ::SendMessageA(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(lItemIndex),
                   reinterpret_cast<LPARAM>(&item));
}

void frmWizard::LoadDriveList(ListView& lvw, bool /*bLargeIcons: always the small icons*/) {
    lvw.Clear();

    const DWORD needed = ::GetLogicalDriveStringsA(0, nullptr);
    std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
    ::GetLogicalDriveStringsA(needed, buffer.data());

    const HIMAGELIST smallIcons = GetSystemImagelist(SHGFI_SMALLICON);
    ListView_SetImageList(lvw.hWnd(), smallIcons, LVSIL_SMALL);

    // Display names go through the wide entry point so that names outside
    // the ANSI code page show as they are.
    SHFILEINFOW record{};
    ErrorMode errors;
    for (DriveStringWalk walk(buffer); auto entry = walk.Next();) {
        DWORD_PTR answered = 0;
        errors.Run([&] {
            const std::wstring root = FromAnsi(*entry);
            answered =
                ::SHGetFileInfoW(root.c_str(), FILE_ATTRIBUTE_NORMAL, &record, sizeof(record),
                                 SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_SYSICONINDEX);
        });
        if (answered) {
            int iItem = 0;
            errors.Run([&] { lvw.Add(record.szDisplayName); });
            errors.Run([&] {
                LVITEMA item{};
                item.mask = LVIF_IMAGE;
                iItem = lvw.Count() - 1;
                item.iItem = iItem;
                item.iImage = record.iIcon;
                ListView_SetItem(lvw.hWnd(), item);
            });
            errors.Run([&] { lvw.SetTag(iItem + 1, RemoveBackslashes(FromAnsi(*entry))); });

            // From here on a failing step is skipped; the probe's error
            // number is what decides the mark.
            errors.ArmResumeNext();
            std::wstring root = FromAnsi(*entry);
            if (root.find(L'\\') == std::wstring::npos) root += L'\\';
            errors.Run([&] { ProbeDriveRoot(root); });
            if (errors.LastError() == kErrBadFileNameOrNumber)
                errors.Run([&] { lvw.SetGhosted(iItem + 1, true); });
            errors.Run([&] {
                if (::GetDriveTypeA(entry->substr(0, 2).c_str()) == DRIVE_FIXED)
                    SetCheck(lvw.hWnd(), lvw.Count() - 1, true);
            });
        }
        std::fill(std::begin(record.szDisplayName), std::end(record.szDisplayName), L'\0');
        std::fill(std::begin(record.szTypeName), std::end(record.szTypeName), L'\0');
    }
}

}  // namespace orvane
