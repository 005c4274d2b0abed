// Turning the user's check marks into the selected-drive list, and measuring
// a selected drive's used space, over the drive logic of drives/.
#include <cstdint>

#include "drives/access_probe.h"
#include "drives/drive_root.h"
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
    std::vector<DriveRoot> inaccessible;
    std::int16_t checked_count = 0, inaccessible_count = 0, stored_count = 0;
    ErrorMode errors;

    const int entries = lvwDrives.Count();
    for (int i = 0; i < entries; ++i) {
        bool checked = false;
        errors.Run([&] { checked = lvwDrives.GetCheckState(i); });
        if (!checked) continue;
        ++checked_count;

        errors.ArmResumeNext();
        std::wstring text;
        errors.Run([&] { text = lvwDrives.Tag(i + 1); });
        const DriveRoot drive = DriveRoot::FromDriveText(text);
        errors.Run([&] { ProbeDriveRoot(drive); });
        if (errors.LastError() == kErrBadFileNameOrNumber) {
            ++inaccessible_count;
            inaccessible.push_back(drive);
        } else {
            // Grown one at a time: after the first acceptance the list holds
            // exactly the drives accepted by this call.
            sSelectedDrives.resize(static_cast<size_t>(stored_count) + 1);
            sSelectedDrives[static_cast<size_t>(stored_count)] = drive.DriveText();
            ++stored_count;
        }
    }

    if (stored_count == 0) bNoDriveSelected = true;
    if (inaccessible.empty()) return true;

    std::wstring title = L"Orvane Analyzer";
    const std::wstring lines = JoinDriveLines(inaccessible);
    if (inaccessible_count == checked_count) {
        std::wstring prompt = std::wstring(kAllInaccessible) + L"\r\n" + lines;
        errors.Run([&] { MsgBoxCentered(prompt, MB_ICONINFORMATION, title); });
        return false;
    }
    if (inaccessible_count > 0) {
        std::wstring prompt = std::wstring(kSomeInaccessible) + L"\r\n" + lines;
        errors.Run([&] { MsgBoxCentered(prompt, MB_ICONINFORMATION, title); });
    }
    return true;
}

Currency frmWizard::GetDriveUsedBytes(const std::wstring& drive) {
    return QueryDriveUsedBytes(drive);
}

}  // namespace orvane
