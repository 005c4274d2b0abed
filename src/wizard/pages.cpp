// The wizard's pages and its commands other than "Next >".
#include <cwctype>

#include "app/mMain.h"
#include "support/app_error.h"
#include "support/msgbox_hook.h"
#include "support/registry_settings.h"
#include "wizard/frmWizard.h"

namespace orvane {

namespace {

const std::wstring kSettingsKey = L"Software\\Mevrak";
const std::wstring kCloseWhenDoneValue = L"CloseWhenDone";

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

}  // namespace

void frmWizard::ShowPage(Frame& pageToShow, Frame& pageToHide) {
    pageToShow.SetVisible(true);
    // The banner and the button row lie over the page and hide its border
    // and caption; the buttons stay in front of the row.
    pageToShow.ZOrder();
    frmTop.ZOrder();
    frmBar.ZOrder();
    cmdCancel.ZOrder();
    cmdNext.ZOrder();
    pageToHide.SetVisible(false);
}

void frmWizard::StopProgressTimer() {
    tmrProgress.SetInterval(0);
    tmrProgress.SetEnabled(false);
}

void frmWizard::Form_Load() {
    // Loaded again after a confirmed cancel, the pages stay as they are.
    if (!bCancelled) ShowPage(frmDrives, frmProgress);
}

void frmWizard::Form_Unload(int& /*cancel: the unload always proceeds*/) {
    if (!objStyleman) return;
    long status = 0;
    ThrowIfFailed(objStyleman->Deactivate(&status));
    ThrowIfFailed(objStyleman->Destroy());
    objStyleman.reset();
}

void frmWizard::cmdCancel_Click() {
    if (EqualsIgnoringCase(cmdCancel.Caption(), L"Finish")) {
        Unload();
        return;
    }
    std::wstring prompt = L"Are you sure you want to cancel the Orvane Analyzer process?";
    std::wstring title = L"Orvane Analyzer";
    if (MsgBoxCentered(prompt, MB_YESNO, title) != IDYES) return;
    bCancelled = true;
    // Before start-up has created the engine there is nothing to tell.
    if (objEngine) ThrowIfFailed(objEngine->Cancel());
    tmrProgress.SetInterval(0);
    tmrProgress.SetEnabled(false);
    Unload();
}

void frmWizard::chkCloseWhenDone_Click() {
    // Whether the setting could be stored or not, the flag follows the box.
    if (chkCloseWhenDone.Value() == 0) {
        WriteRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kCloseWhenDoneValue, L"no");
        bCloseWhenDone = false;
    } else {
        WriteRegistryValue(HKEY_CURRENT_USER, kSettingsKey, kCloseWhenDoneValue, L"yes");
        bCloseWhenDone = true;
    }
}

}  // namespace orvane
