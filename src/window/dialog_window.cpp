#include "window/dialog_window.h"

#include <commctrl.h>

#include <algorithm>

#include "support/app_error.h"
#include "support/msgbox_hook.h"
#include "support/wait_cursor.h"

namespace orvane {

std::vector<Control*> DialogWindow::TabOrder() {
    std::vector<Control*> order;
    for (Control* control : AllControls())
        if (control->TakesFocus()) order.push_back(control);
    std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
        return a->TabIndex() < b->TabIndex();
    });
    return order;
}

void DialogWindow::EnableTabbing() {
    for (Control* control : TabOrder())
        ::SetWindowSubclass(control->hWnd(), &TabbingSubclassProc, 1,
                            reinterpret_cast<DWORD_PTR>(this));
}

void DialogWindow::MoveFocus(bool backwards) {
    auto order = TabOrder();
    if (order.empty()) return;
    if (backwards) std::reverse(order.begin(), order.end());
    const HWND focus = ::GetFocus();
    auto current = std::find_if(order.begin(), order.end(),
                                [&](const Control* c) { return c->hWnd() == focus; });
    const size_t start =
        current == order.end() ? order.size() - 1 : static_cast<size_t>(current - order.begin());
    for (size_t step = 1; step <= order.size(); ++step) {
        const HWND candidate = order[(start + step) % order.size()]->hWnd();
        // A control on a hidden page is hidden too: IsWindowVisible sees that.
        if (candidate && ::IsWindowVisible(candidate) && ::IsWindowEnabled(candidate)) {
            ::SetFocus(candidate);
            return;
        }
    }
}

bool DialogWindow::OnActivate(bool active) {
    if (!active) {
        const HWND focus = ::GetFocus();
        if (focus && ::IsChild(hwnd(), focus)) last_focus_ = focus;
        return false;
    }
    if (!last_focus_ || !::IsWindow(last_focus_) || !::IsWindowVisible(last_focus_) ||
        !::IsWindowEnabled(last_focus_))
        return false;  // the window takes the focus and passes it on (WM_SETFOCUS)
    ::SetFocus(last_focus_);
    return true;
}

LRESULT DialogWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const HWND control = reinterpret_cast<HWND>(lParam);
            // Only what the user could click reaches a handler; Enter and
            // Escape (IDOK, IDCANCEL without a control) do nothing. While one
            // of the program's boxes is up nothing is clicked either: a click
            // sent by message (automation, accessibility tools) gets past the
            // disabled owner, and would stack a second question on the first.
            if (HIWORD(wParam) == BN_CLICKED && control && ::IsWindowVisible(control) &&
                ::IsWindowEnabled(control) && !MsgBoxShowing())
                OnClick(LOWORD(wParam));
            return 0;
        }
        case WM_CLOSE:
            OnCloseBox();
            return 0;
        case WM_ENDSESSION:
            // Logoff or shutdown ends the process without a WM_CLOSE: unload
            // as the close box does, so the components are told.
            if (wParam) OnCloseBox();
            return 0;
        case WM_SETCURSOR:
            // The top-level window sees the message before its children.
            if (const HCURSOR cursor = ProgramWideCursor()) {
                ::SetCursor(cursor);
                return TRUE;
            }
            break;
        case WM_ACTIVATE:
            if (OnActivate(LOWORD(wParam) != WA_INACTIVE)) return 0;
            break;
        case WM_SETFOCUS:
            // Like a dialog: the focus goes on to the first control that takes it.
            MoveFocus(false);
            return 0;
        default:
            break;
    }
    return WindowBase::HandleMessage(message, wParam, lParam);
}

namespace {

bool IsPushButton(HWND hwnd) noexcept {
    wchar_t class_name[16] = {};
    ::GetClassNameW(hwnd, class_name, 16);
    if (::lstrcmpiW(class_name, WC_BUTTONW) != 0) return false;
    const auto type = ::GetWindowLongPtrW(hwnd, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON;
}

// As in every dialog, the focused push button is the default for the time
// being: it shows the default button's frame, and Enter presses it. The
// window itself has no default button, so elsewhere Enter presses nothing.
bool HandlePushButtonKeys(HWND button, UINT message, WPARAM wParam) noexcept {
    switch (message) {
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            ::SendMessageW(button, BM_SETSTYLE,
                           message == WM_SETFOCUS ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
            return false;
        case WM_KEYDOWN:
            if (wParam != VK_RETURN) return false;
            ::SendMessageW(::GetParent(button), WM_COMMAND,
                           MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                           reinterpret_cast<LPARAM>(button));
            return true;
        case WM_CHAR:
            return wParam == L'\r';
        default:
            return false;
    }
}

}  // namespace

LRESULT CALLBACK DialogWindow::TabbingSubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                                   LPARAM lParam, UINT_PTR,
                                                   DWORD_PTR data) noexcept {
    auto* window = reinterpret_cast<DialogWindow*>(data);
    if (message == WM_KEYDOWN && wParam == VK_TAB) {
        GuardBoundary([&] { window->MoveFocus(::GetKeyState(VK_SHIFT) < 0); });
        return 0;
    }
    if (message == WM_CHAR && wParam == L'\t') return 0;
    if (IsPushButton(hwnd) && HandlePushButtonKeys(hwnd, message, wParam)) return 0;
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, &TabbingSubclassProc, 1);
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace orvane
