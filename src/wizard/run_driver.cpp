// "Next >": hands the selected drives to the engine one after another while
// the progress page shows how far it has got.
#include <string>

#include "analysis/close_when_done_setting.h"
#include "analysis/engine_client.h"
#include "analysis/run_state.h"
#include "support/app_error.h"
#include "wizard/frmWizard.h"

namespace orvane {

// Marks the part of a click during which the engine has been given work.
class RunScope {
public:
    explicit RunScope(frmWizard& form) : form_(form) { form_.run_in_progress_ = true; }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;
    ~RunScope() { form_.run_in_progress_ = false; }

private:
    frmWizard& form_;
};

void frmWizard::cmdNext_Click() {
    sStatusParts.assign(2, std::wstring());
    bNoDriveSelected = false;
    lblFolderName.SetWordWrap(false);
    ApplyCloseWhenDoneSetting();

    if (!CollectSelectedDrives() || bNoDriveSelected) return;
    // Closed while the selection message was up: there is no run to start.
    if (!IsLoaded()) return;

    RunScope running(*this);
    const auto upper_bound = static_cast<std::int16_t>(sSelectedDrives.size() - 1);
    AddUpSelectedUsedBytes(upper_bound);
    ShowProgressPage(upper_bound == 0);
    if (!AnalyzeSelectedDrives(upper_bound)) {
        StopProgressTimer();
        Unload();
        return;
    }
    ShowRunDone();
}

void frmWizard::ApplyCloseWhenDoneSetting() {
    // Changing the box runs its click handler, which stores the value again.
    if (close_when_done::Decode(close_when_done::Read())) {
        bCloseWhenDone = true;
        chkCloseWhenDone.SetValue(1);
    } else {
        bCloseWhenDone = false;
        chkCloseWhenDone.SetValue(0);
    }
}

void frmWizard::AddUpSelectedUsedBytes(std::int16_t upper_bound) {
    // Sums saturate like the used space of one drive does: a volume too large
    // for the byte count must not end the program.
    for (std::int16_t i = 0; i <= upper_bound; ++i)
        cyTotalUsedBytes = cyTotalUsedBytes.SaturatingAdd(
            GetDriveUsedBytes(sSelectedDrives[static_cast<size_t>(i)]));
}

void frmWizard::ShowProgressPage(bool one_drive) {
    if (one_drive) {
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
}

bool frmWizard::AnalyzeSelectedDrives(std::int16_t upper_bound) {
    const long drive_count = static_cast<long>(upper_bound) + 1;
    for (std::int16_t i = 0; i <= upper_bound; ++i) {
        if (!AnalyzeSelectedDrive(i, drive_count)) return false;
    }
    return true;
}

bool frmWizard::AnalyzeSelectedDrive(std::int16_t index, long drive_count) {
    const std::wstring& drive = sSelectedDrives[static_cast<size_t>(index)];
    if (bCancelled) return false;
    lblDiskCount.SetCaption(L"Disk " + std::to_wstring(index + 1) + L" of " +
                            std::to_wstring(drive_count));
    lblDiskProgStatus.SetCaption(L"Scanning " + drive);
    cyDriveUsedBytes = GetDriveUsedBytes(drive);
    if (bCancelled) return false;
    Engine().AnalyzeDrive(drive);
    if (bCancelled) return false;
    Engine().FinishDrive();
    // The drive's own final figures, read once as a tick does: a drive
    // that ends before its first tick would otherwise add the previous
    // drive's bytes again, and the count line would show the last tick's.
    if (!bCancelled) {
        ShowProgress(Engine().ReadProgress());
        NoteFinishedDrive();
    }
    cyBytesDone = cyBytesDone.SaturatingAdd(cyDriveScanned);
    return true;
}

void frmWizard::ShowRunDone() {
    pbOverallProgress.SetValue(100);
    pbDiskProgress.SetValue(100);
    taskbar_.ShowComplete();
    lblTitle.SetCaption(L"Analyzing...Done");
    lblDesc.SetCaption(L"Orvane has finished analyzing your disk.");
    cmdCancel.SetCaption(L"Finish");
    tmrProgress.SetInterval(0);
    tmrProgress.SetEnabled(false);
    if (!bCancelled) ShowWhatTheRunLeft();
    if (bCancelled) Unload();
    if (bCloseWhenDone) Unload();
}

}  // namespace orvane
