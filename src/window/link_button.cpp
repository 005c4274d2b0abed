#include "window/link_button.h"

#include <commctrl.h>

#include <algorithm>

#include "orvane/win32_handles.h"
#include "support/wait_cursor.h"

namespace orvane {

namespace {

HFONT WindowFont(HWND hwnd) noexcept {
    return reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
}

}  // namespace

// --- LinkButton ---------------------------------------------------------------

LinkButton::LinkButton(int id, TwipsRect rect, int tab_index, std::wstring caption)
    : Control(id, rect, tab_index) {
    caption_ = std::move(caption);
}

void LinkButton::Create(HWND parent, const TwipsScale& scale) {
    CreateWindowIn(parent, scale, {WC_BUTTONW, BS_OWNERDRAW | WS_TABSTOP, 0});
    ::SetWindowSubclass(hWnd(), &SubclassProc, 2, 0);
}

void LinkButton::Draw(const DRAWITEMSTRUCT& item) const noexcept {
    const HDC dc = item.hDC;
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    const scoped_select font(dc, link_font_ ? link_font_ : WindowFont(item.hwndItem));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc,
                   (item.itemState & ODS_DISABLED) ? ::GetSysColor(COLOR_GRAYTEXT) : text_colour_);
    RECT text = item.rcItem;
    const UINT format = DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_END_ELLIPSIS;
    ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &text, format);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        // The rectangle goes round the text, as a focused link shows it.
        RECT measured = item.rcItem;
        ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &measured,
                    format | DT_CALCRECT);
        measured.bottom = item.rcItem.bottom;
        measured.top = item.rcItem.top;
        measured.right = std::min(measured.right + 1, item.rcItem.right);
        ::DrawFocusRect(dc, &measured);
    }
}

void LinkButton::SetTextColour(COLORREF colour) noexcept {
    text_colour_ = colour;
    if (hWnd()) ::InvalidateRect(hWnd(), nullptr, TRUE);
}

LRESULT CALLBACK LinkButton::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR, DWORD_PTR) noexcept {
    switch (message) {
        case WM_SETCURSOR:
            // The program-wide pointer wins, as it does over every window.
            if (!ProgramWideCursor() && LOWORD(lParam) == HTCLIENT) {
                ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_KEYDOWN:
            // Enter follows the link, as it presses a focused push button.
            if (wParam != VK_RETURN) break;
            ::SendMessageW(::GetParent(hwnd), WM_COMMAND,
                           MAKEWPARAM(::GetDlgCtrlID(hwnd), BN_CLICKED),
                           reinterpret_cast<LPARAM>(hwnd));
            return 0;
        case WM_CHAR:
            if (wParam == L'\r') return 0;
            break;
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(hwnd, &SubclassProc, 2);
            break;
        default:
            break;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

// --- NoteBox ------------------------------------------------------------------

void NoteBox::Create(HWND parent, const TwipsScale& scale) {
    CreateWindowIn(
        parent, scale,
        {WC_EDITW, ES_LEFT | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_TABSTOP, 0});
}

void NoteBox::SetLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) {
        if (!text.empty()) text += L"\r\n";
        text += line;
    }
    SetCaption(text);
    if (!hWnd()) return;
    // A scroll bar only when the text needs one: measured after the text
    // is in, since the lines wrap at the control's width.
    ::ShowScrollBar(hWnd(), SB_VERT, FALSE);
    TEXTMETRICW metrics{};
    {
        const unique_window_dc dc(hWnd());
        const scoped_select font(dc.get(), WindowFont(hWnd()));
        ::GetTextMetricsW(dc.get(), &metrics);
    }
    RECT client{};
    ::GetClientRect(hWnd(), &client);
    const LONG lines_shown =
        metrics.tmHeight > 0 ? (client.bottom - client.top) / metrics.tmHeight : 1;
    if (::SendMessageW(hWnd(), EM_GETLINECOUNT, 0, 0) > lines_shown)
        ::ShowScrollBar(hWnd(), SB_VERT, TRUE);
}

}  // namespace orvane
