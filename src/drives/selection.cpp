// Turning the user's check marks into the selected-drive list, and measuring
// a selected drive's used space.
#include <cstdint>

#include "drives/access_probe.h"
#include "drives/drive_text.h"
#include "drives/used_space.h"
#include "support/error_mode.h"
#include "support/msgbox_hook.h"
#include "wizard/frmWizard.h"

namespace orvane {

namespace {

constexpr wchar_t kAllInaccessible[] =
    L"The selected drives are not accessible and cannot be analyzed: ";
constexpr wchar_t kSomeInaccessible[] =
    L"The following drives are not accessible and will not be analyzed: ";

}  // namespace

bool frmWizard::CollectSelectedDrives() {
    std::vector<std::wstring> inaccessibleRoots;
    std::int16_t checkedCount = 0, inaccessibleCount = 0, storedCount = 0;
    ErrorMode errors;

    const int entries = lvwDrives.Count();
    for (int i = 0; i < entries; ++i) {
        LRESULT state = 0;
        errors.Run([&] {
            state = ::SendMessageA(lvwDrives.hWnd(), LVM_GETITEMSTATE, static_cast<WPARAM>(i),
                                   static_cast<LPARAM>(0xFFFFF000));
        });
        if ((state & 0x2000) == 0) continue;
        ++checkedCount;

        errors.ArmResumeNext();
        std::wstring drive;
        errors.Run([&] { drive = lvwDrives.Tag(i + 1); });
        if (drive.find(L'\\') == std::wstring::npos) drive += L'\\';
        errors.Run([&] { ProbeDriveRoot(drive); });
        if (errors.LastError() == kErrBadFileNameOrNumber) {
            ++inaccessibleCount;
            inaccessibleRoots.push_back(drive);
        } else {
            // Grown one at a time: after the first acceptance the list holds
            // exactly the drives accepted by this call.
            sSelectedDrives.resize(static_cast<size_t>(storedCount) + 1);
            sSelectedDrives[static_cast<size_t>(storedCount)] = RemoveBackslashes(drive);
            ++storedCount;
        }
    }

    if (storedCount == 0) bNoDriveSelected = true;
    if (inaccessibleRoots.empty()) return true;

    std::wstring title = L"Orvane Analyzer";
    const std::wstring lines = JoinDriveLines(inaccessibleRoots);
    if (inaccessibleCount == checkedCount) {
        std::wstring prompt = std::wstring(kAllInaccessible) + L"\r\n" + lines;
        errors.Run([&] { MsgBoxCentered(prompt, MB_ICONINFORMATION, title); });
        return false;
    }
    if (inaccessibleCount > 0) {
        std::wstring prompt = std::wstring(kSomeInaccessible) + L"\r\n" + lines;
        errors.Run([&] { MsgBoxCentered(prompt, MB_ICONINFORMATION, title); });
    }
    return true;
}

Currency frmWizard::GetDriveUsedBytes(const std::wstring& drive) {
    return QueryDriveUsedBytes(drive);
}

}  // namespace orvane
