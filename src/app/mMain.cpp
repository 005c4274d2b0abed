#include "app/mMain.h"

#include <optional>

#include "support/app_error.h"
#include "support/wait_cursor.h"
#include "wizard/frmWizard.h"

namespace orvane {

com_ptr<IStyleman> objStyleman;
com_ptr<IAnalysisEngine> objEngine;

void Main() {
    objStyleman = CreateComponent<IStyleman>(CLSID_Styleman, IID_IStyleman);
    long status = 0;
    ThrowIfFailed(objStyleman->Create(&status));
    ThrowIfFailed(objStyleman->Activate(&status));

    // The first reference to the wizard creates and loads it; the timer is
    // stopped before any message could let it fire.
    frmWizard& wizard = Wizard();
    wizard.SetUnloadedCallback([] { ::PostQuitMessage(0); });
    wizard.tmrProgress.SetEnabled(false);
    wizard.tmrProgress.SetInterval(0);

    wizard.Show();
    DoEvents();  // let the window paint before the slow drive enumeration
    // Closed while it painted: there is nothing left to fill or to start.
    if (!wizard.IsLoaded()) return;
    wizard.SetFocus();
    wizard.txtLoading.ZOrder();
    wizard.cmdNext.SetEnabled(false);

    std::optional<cWaitCursor> waitCursor;  // created at its first use
    waitCursor.emplace();
    waitCursor->SetCursor(kPointerHourglass);

    ::SendMessageA(wizard.lvwDrives.hWnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, -1);
    wizard.LoadDriveList(wizard.lvwDrives, false);
    wizard.txtLoading.ZOrder(1);
    wizard.cmdNext.SetEnabled(true);

    objEngine = CreateComponent<IAnalysisEngine>(CLSID_AnalysisEngine, IID_IAnalysisEngine);

    // The width is read and reduced in single precision, as the column
    // property takes it.
    const float columnWidth = static_cast<float>(wizard.lvwDrives.Width()) - 1000.0f;
    wizard.lvwDrives.SetColumnWidth(columnWidth);

    wizard.bCancelled = false;
    waitCursor->SetCursor(kPointerArrow);
}  // releasing the wait cursor puts back the pointer it found

IAnalysisEngine& Engine() {
    if (!objEngine) throw AppError(91, L"Object variable or With block variable not set");
    return *objEngine.get();
}

bool ListView_SetItem(HWND hwnd, LVITEMA& item) {
    return ::SendMessageA(hwnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
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
