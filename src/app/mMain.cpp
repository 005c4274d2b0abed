#include "app/mMain.h"

#include <optional>

#include "support/app_error.h"
#include "support/wait_cursor.h"
#include "wizard/frmWizard.h"

namespace orvane {

com_ptr<IStyleman> objStyleman;
com_ptr<IAnalysisEngine> objEngine;

void StartUp(const StartUpSources& sources) {
    objStyleman = sources.create_styleman();
    long status = 0;
    ThrowIfFailed(objStyleman->Create(&status));
    ThrowIfFailed(objStyleman->Activate(&status));

    // The first reference to the wizard creates and loads it; the timer is
    // stopped before any message could let it fire.
    frmWizard& wizard = sources.first_use_of_wizard();
    wizard.UseComponents(objStyleman, objEngine);
    wizard.tmrProgress.SetEnabled(false);
    wizard.tmrProgress.SetInterval(0);

    wizard.Show();
    DoEvents();  // let the window paint before the slow drive enumeration
    // Closed while it painted: there is nothing left to fill or to start.
    if (!wizard.IsLoaded()) return;
    wizard.SetFocus();
    wizard.txtLoading.ZOrder();
    wizard.cmdNext.SetEnabled(false);

    std::optional<cWaitCursor> wait_cursor;  // created at its first use
    wait_cursor.emplace();
    wait_cursor->SetCursor(kPointerHourglass);

    ListView::SetExtendedStyle(wizard.lvwDrives.hWnd(), LVS_EX_CHECKBOXES, -1);
    wizard.LoadDriveList(wizard.lvwDrives, false);
    wizard.txtLoading.ZOrder(1);
    wizard.cmdNext.SetEnabled(true);

    objEngine = sources.create_engine();

    // The width is read and reduced in single precision, as the column
    // property takes it.
    const float column_width = static_cast<float>(wizard.lvwDrives.Width()) - 1000.0f;
    wizard.lvwDrives.SetColumnWidth(column_width);

    wizard.bCancelled = false;
    wait_cursor->SetCursor(kPointerArrow);
}  // releasing the wait cursor puts back the pointer it found

void Main() {
    StartUp({
        [] { return CreateComponent<IStyleman>(CLSID_Styleman, IID_IStyleman); },
        []() -> frmWizard& {
            frmWizard& wizard = Wizard();
            wizard.SetUnloadedCallback([] { ::PostQuitMessage(0); });
            return wizard;
        },
        [] { return CreateComponent<IAnalysisEngine>(CLSID_AnalysisEngine, IID_IAnalysisEngine); },
    });
}

void DoEvents() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to consume: the message loop ends on it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

int RunMessageLoop() {
    MSG msg;
    BOOL got;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) RaiseLastError();
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace orvane
