// "Next >": hands the selected drives to the engine one after another while
// the progress page shows how far it has got.
#include <cwctype>
#include <string>

#include "analysis/run_state.h"
#include "app/mMain.h"
#include "support/app_error.h"
#include "support/registry_settings.h"
#include "wizard/frmWizard.h"

namespace orvane {

std::vector<std::wstring> sStatusParts;

// Marks the part of a click during which the engine has been given work.
class RunScope {
public:
    explicit RunScope(frmWizard& form) : form_(form) { form_.runInProgress_ = true; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;
    ~RunScope() { form_.runInProgress_ = false; }

private:
    frmWizard& form_;
};

namespace {

bool IsYes(const std::wstring& text) {
    if (text.size() != 3) return false;
    return std::towlower(text[0]) == L'y' && std::towlower(text[1]) == L'e' &&
           std::towlower(text[2]) == L's';
}

}  // namespace

void frmWizard::cmdNext_Click() {
    sStatusParts.assign(2, std::wstring());
    bNoDriveSelected = false;
    lblFolderName.SetWordWrap(false);

    std::wstring setting;
    ReadRegistryValue(HKEY_CURRENT_USER, L"Software\\Mevrak", L"CloseWhenDone", setting);
    // Changing the box runs its click handler, which stores the value again.
    if (IsYes(setting)) {
        bCloseWhenDone = true;
        chkCloseWhenDone.SetValue(1);
    } else {
        bCloseWhenDone = false;
        chkCloseWhenDone.SetValue(0);
    }

    if (!CollectSelectedDrives() || bNoDriveSelected) return;
    // Closed while the selection message was up: there is no run to start.
    if (!IsLoaded()) return;

    RunScope running(*this);
    const auto upperBound = static_cast<std::int16_t>(sSelectedDrives.size() - 1);
    // Sums saturate like the used space of one drive does: a volume too large
    // for the byte count must not end the program.
    for (std::int16_t i = 0; i <= upperBound; ++i)
        cyTotalUsedBytes = cyTotalUsedBytes.SaturatingAdd(
            GetDriveUsedBytes(sSelectedDrives[static_cast<size_t>(i)]));

    if (upperBound == 0) {
        lblDiskCount.SetVisible(false);
        lblOverallProgress.SetVisible(false);
        pbOverallProgress.SetVisible(false);
    }
    lblTitle.SetCaption(L"Analyzing...");
    lblDesc.SetCaption(L"Orvane is currently analyzing your disk...Please wait...");
    ShowPage(frmProgress, frmDrives);
    cmdCancel.SetLeft(cmdNext.Left());
    cmdNext.SetVisible(false);
    // Ticks begin with the interval: start-up left it at 0.
    tmrProgress.SetEnabled(true);
    tmrProgress.SetInterval(100);
    cyBytesDone = Currency();

    auto stopAfterCancel = [this] {
        StopProgressTimer();
        Unload();
    };
    const long driveCount = static_cast<long>(upperBound) + 1;
    for (std::int16_t i = 0; i <= upperBound; ++i) {
        const std::wstring& drive = sSelectedDrives[static_cast<size_t>(i)];
        if (bCancelled) return stopAfterCancel();
        lblDiskCount.SetCaption(L"Disk " + std::to_wstring(i + 1) + L" of " +
                                std::to_wstring(driveCount));
        lblDiskProgStatus.SetCaption(L"Scanning " + drive);
        cyDriveUsedBytes = GetDriveUsedBytes(drive);
        if (bCancelled) return stopAfterCancel();
        {
            unique_bstr driveText(drive.c_str(), static_cast<UINT>(drive.size()));
            ThrowIfFailed(Engine().AnalyzeDrive(driveText.get()));
        }
        if (bCancelled) return stopAfterCancel();
        ThrowIfFailed(Engine().FinishDrive());
        cyBytesDone = cyBytesDone.SaturatingAdd(cyDriveScanned);
    }

    pbOverallProgress.SetValue(100);
    pbDiskProgress.SetValue(100);
    lblTitle.SetCaption(L"Analyzing...Done");
    lblDesc.SetCaption(L"Orvane has finished analyzing your disk.");
    cmdCancel.SetCaption(L"Finish");
    tmrProgress.SetInterval(0);
    tmrProgress.SetEnabled(false);
    if (bCancelled) Unload();
    if (bCloseWhenDone) Unload();
}

}  // namespace orvane
