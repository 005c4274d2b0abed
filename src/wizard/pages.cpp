// The wizard's pages and its commands other than "Next >".
#include <cwctype>

#include "analysis/close_when_done_setting.h"
#include "analysis/engine_client.h"
#include "support/app_error.h"
#include "support/msgbox_hook.h"
#include "wizard/frmWizard.h"

namespace orvane {

namespace {

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

}  // namespace

void frmWizard::ShowPage(Frame& page_to_show, Frame& page_to_hide) {
    page_to_show.SetVisible(true);
    // The banner and the button row lie over the page and hide its border
    // and caption; the buttons stay in front of the row.
    page_to_show.ZOrder();
    frmTop.ZOrder();
    frmBar.ZOrder();
    cmdCancel.ZOrder();
    cmdNext.ZOrder();
    page_to_hide.SetVisible(false);
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
    if (!styleman_ || !*styleman_) return;
    com_ptr<IStyleman>& objStyleman = *styleman_;
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
    taskbar_.Remove();
    // Before start-up has created the engine there is nothing to tell.
    if (HasEngine()) Engine().Cancel();
    tmrProgress.SetInterval(0);
    tmrProgress.SetEnabled(false);
    Unload();
}

void frmWizard::chkCloseWhenDone_Click() {
    // Whether the setting could be stored or not, the flag follows the box.
    if (chkCloseWhenDone.Value() == 0) {
        close_when_done::Store(false);
        bCloseWhenDone = false;
    } else {
        close_when_done::Store(true);
        bCloseWhenDone = true;
    }
}

}  // namespace orvane
