#include "support/wait_cursor.h"

#include <climits>

#include "support/app_error.h"

namespace orvane {

namespace {

// The program-wide pointer: one value shared by every window of the program,
// touched on the UI thread only.
short g_screen_pointer = kPointerDefault;

// The standard pointer shapes by number; anything not listed shows the arrow.
LPCWSTR SystemCursorFor(short pointer) noexcept {
    switch (pointer) {
        case 2:
            return IDC_CROSS;
        case 3:
            return IDC_IBEAM;
        case 4:
            return IDC_ICON;
        case 5:
            return IDC_SIZEALL;
        case 6:
            return IDC_SIZENESW;
        case 7:
            return IDC_SIZENS;
        case 8:
            return IDC_SIZENWSE;
        case 9:
            return IDC_SIZEWE;
        case 10:
            return IDC_UPARROW;
        case kPointerHourglass:
            return IDC_WAIT;
        case 12:
            return IDC_NO;
        case 13:
            return IDC_APPSTARTING;
        case 14:
            return IDC_HELP;
        case 15:
            return IDC_SIZEALL;
        default:
            return IDC_ARROW;
    }
}

// Back to "each window chooses": ask the window under the mouse, if it is one
// of this thread's, to set its own cursor now rather than at the next move.
void LetWindowChooseCursor() noexcept {
    POINT at{};
    if (!::GetCursorPos(&at)) return;
    const HWND under = ::WindowFromPoint(at);
    if (under && ::GetWindowThreadProcessId(under, nullptr) == ::GetCurrentThreadId()) {
        const LRESULT hit = ::SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y));
        ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                       MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
    } else {
        ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    }
}

}  // namespace

short ScreenMousePointer() noexcept { return g_screen_pointer; }

HCURSOR ProgramWideCursor() noexcept {
    if (g_screen_pointer == kPointerDefault) return nullptr;
    return ::LoadCursorW(nullptr, SystemCursorFor(g_screen_pointer));
}

void SetScreenMousePointer(short pointer) noexcept {
    g_screen_pointer = pointer;
    if (const HCURSOR cursor = ProgramWideCursor()) {
        ::SetCursor(cursor);
    } else {
        LetWindowChooseCursor();
    }
}

cWaitCursor::cWaitCursor() noexcept : nSavedPointer(ScreenMousePointer()) {}

cWaitCursor::~cWaitCursor() { Restore(); }

void cWaitCursor::SetCursor(const long& nPointer) {
    if (nPointer < SHRT_MIN || nPointer > SHRT_MAX) RaiseError(kErrOverflow);
    SetScreenMousePointer(static_cast<short>(nPointer));
}

void cWaitCursor::Restore() noexcept { SetScreenMousePointer(static_cast<short>(nSavedPointer)); }

}  // namespace orvane
