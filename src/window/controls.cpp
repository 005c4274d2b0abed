#include "window/controls.h"

#include <cmath>

#include "support/app_error.h"
#include "orvane/win32_handles.h"

namespace orvane {

// --- Control --------------------------------------------------------------

void Control::CreateWindowIn(HWND parent, const TwipsScale& scale, const WindowSpec& window) {
    scale_ = scale;
    const RECT r = PixelRect();
    DWORD style = window.style | WS_CHILD | WS_CLIPSIBLINGS;
    if (visible_) style |= WS_VISIBLE;
    if (!enabled_) style |= WS_DISABLED;
    const HWND hwnd = ::CreateWindowExW(window.ex_style, window.class_name, caption_.c_str(), style,
                                        r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)),
                                        ::GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) RaiseLastError();
    Adopt(hwnd, scale);
}

void Control::Adopt(HWND hwnd, const TwipsScale& scale) {
    hwnd_ = hwnd;
    scale_ = scale;
    // New children go to the bottom of their siblings: creating the controls
    // front to back gives the form's stacking order.
    ::SetWindowPos(hwnd_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

RECT Control::PixelRect() const noexcept {
    RECT r;
    r.left = TwipsToPixelsX(rect_.left, scale_);
    r.top = TwipsToPixelsY(rect_.top, scale_);
    r.right = r.left + TwipsToPixelsX(rect_.width, scale_);
    r.bottom = r.top + TwipsToPixelsY(rect_.height, scale_);
    return r;
}

void Control::ApplyGeometry() noexcept {
    if (!hwnd_) return;
    const RECT r = PixelRect();
    ::SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetLeft(double twips) {
    rect_.left = twips;
    ApplyGeometry();
}
void Control::SetTop(double twips) {
    rect_.top = twips;
    ApplyGeometry();
}
void Control::SetWidth(double twips) {
    if (twips < 0) RaiseError(kErrInvalidCall);
    rect_.width = twips;
    ApplyGeometry();
}
void Control::SetHeight(double twips) {
    if (twips < 0) RaiseError(kErrInvalidCall);
    rect_.height = twips;
    ApplyGeometry();
}

void Control::SetVisible(bool visible) {
    visible_ = visible;
    if (hwnd_) ::ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void Control::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (hwnd_) ::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

void Control::ZOrder(int position) {
    if (position != 0 && position != 1) RaiseError(kErrInvalidCall);
    if (!hwnd_) return;
    ::SetWindowPos(hwnd_, position == 0 ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Control::SetCaption(const std::wstring& caption) {
    caption_ = caption;
    if (hwnd_) ::SetWindowTextW(hwnd_, caption_.c_str());
}

void Control::SetFont(HFONT font) noexcept {
    if (hwnd_) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// --- Label ----------------------------------------------------------------

Label::Label(int id, TwipsRect rect, int tab_index, std::wstring caption, Align align,
             bool transparent)
    : Control(id, rect, tab_index), align_(align), transparent_(transparent) {
    caption_ = std::move(caption);
}

DWORD Label::Style() const noexcept {
    // Labels show "&" as it is.
    DWORD style = SS_NOPREFIX;
    if (align_ == Align::Right) return style | SS_RIGHT;
    return style | (word_wrap_ ? SS_LEFT : SS_LEFTNOWORDWRAP);
}

void Label::Create(HWND parent, const TwipsScale& scale) {
    CreateWindowIn(parent, scale, {WC_STATICW, Style(), 0});
}

void Label::SetWordWrap(bool wrap) {
    word_wrap_ = wrap;
    if (!hWnd()) return;
    const LONG_PTR others =
        ::GetWindowLongPtrW(hWnd(), GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
    ::SetWindowLongPtrW(hWnd(), GWL_STYLE, others | Style());
    ::InvalidateRect(hWnd(), nullptr, TRUE);
}

// --- CommandButton ----------------------------------------------------------

CommandButton::CommandButton(int id, TwipsRect rect, int tab_index, std::wstring caption)
    : Control(id, rect, tab_index) {
    caption_ = std::move(caption);
}

void CommandButton::Create(HWND parent, const TwipsScale& scale) {
    // A plain push button: the form has no default and no cancel button.
    CreateWindowIn(parent, scale, {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0});
}

// --- CheckBox ---------------------------------------------------------------

CheckBox::CheckBox(int id, TwipsRect rect, int tab_index, std::wstring caption)
    : Control(id, rect, tab_index) {
    caption_ = std::move(caption);
}

void CheckBox::Create(HWND parent, const TwipsScale& scale) {
    // Not an auto check box: the state changes only when the form takes the
    // click, so a click it ignores cannot leave the box and its value apart.
    CreateWindowIn(parent, scale, {WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP, 0});
    ::SendMessageW(hWnd(), BM_SETCHECK, value_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::SetValue(int value) {
    if (value < 0 || value > 2) RaiseError(kErrInvalidCall);
    if (!hWnd()) {
        value_ = value;
        return;
    }
    if (value == value_) return;
    value_ = value;
    ::SendMessageW(hWnd(), BM_SETCHECK, static_cast<WPARAM>(value), 0);
    if (on_click_) on_click_();
}

void CheckBox::OnUserClick() {
    if (!hWnd()) return;
    value_ = value_ == 0 ? 1 : 0;
    ::SendMessageW(hWnd(), BM_SETCHECK, static_cast<WPARAM>(value_), 0);
    if (on_click_) on_click_();
}

// --- TextBox ----------------------------------------------------------------

TextBox::TextBox(int id, TwipsRect rect, int tab_index, std::wstring text)
    : Control(id, rect, tab_index) {
    caption_ = std::move(text);
}

void TextBox::Create(HWND parent, const TwipsScale& scale) {
    CreateWindowIn(parent, scale,
                   {WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE});
}

// --- ListView ---------------------------------------------------------------

void ListView::Create(HWND parent, const TwipsScale& scale, double column_width_twips) {
    // The list only borrows the shell's image list: it must never destroy it.
    CreateWindowIn(parent, scale,
                   {WC_LISTVIEWW,
                    LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                        LVS_SHAREIMAGELISTS | WS_TABSTOP,
                    WS_EX_CLIENTEDGE});
    UseSystemColours();
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.pszText = const_cast<wchar_t*>(L"");
    column.cx = TwipsToPixelsX(column_width_twips, scale);
    ::SendMessageW(hWnd(), LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    column_width_ = column_width_twips;
}

void ListView::UseSystemColours() noexcept {
    if (!hWnd()) return;
    ListView_SetTextColor(hWnd(), ::GetSysColor(COLOR_WINDOWTEXT));
    ListView_SetBkColor(hWnd(), ::GetSysColor(COLOR_WINDOW));
    ListView_SetTextBkColor(hWnd(), ::GetSysColor(COLOR_WINDOW));
    ::InvalidateRect(hWnd(), nullptr, TRUE);
}

void ListView::Clear() {
    tags_.clear();
    if (hWnd()) ::SendMessageW(hWnd(), LVM_DELETEALLITEMS, 0, 0);
}

int ListView::Add(const std::wstring& text) {
    const int position = Count();
    if (hWnd()) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = position;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        if (::SendMessageW(hWnd(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0)
            RaiseLastError();
    }
    tags_.emplace_back();
    return position;
}

void ListView::CheckIndex(int one_based) const {
    if (one_based < 1 || one_based > Count()) RaiseError(kErrSubscriptOutOfRange);
}

const std::wstring& ListView::Tag(int one_based) const {
    CheckIndex(one_based);
    return tags_[static_cast<size_t>(one_based - 1)];
}

void ListView::SetTag(int one_based, const std::wstring& tag) {
    CheckIndex(one_based);
    tags_[static_cast<size_t>(one_based - 1)] = tag;
}

bool ListView::Ghosted(int one_based) const {
    CheckIndex(one_based);
    return GhostedAt(one_based - 1);
}

bool ListView::GhostedAt(int position) const noexcept {
    if (!hWnd()) return false;
    return (::SendMessageW(hWnd(), LVM_GETITEMSTATE, static_cast<WPARAM>(position), LVIS_CUT) &
            LVIS_CUT) != 0;
}

bool ListView::SelectedAt(int position) const noexcept {
    if (!hWnd()) return false;
    return (::SendMessageW(hWnd(), LVM_GETITEMSTATE, static_cast<WPARAM>(position), LVIS_SELECTED) &
            LVIS_SELECTED) != 0;
}

namespace {
// The state-image bits and every bit above them: focus and selection stay.
constexpr UINT kStateImageMask = 0xFFFFF000;
constexpr UINT kStateImageChecked = 0x2000;    // state image 2
constexpr UINT kStateImageUnchecked = 0x1000;  // state image 1
}  // namespace

LRESULT ListView::SetExtendedStyle(HWND list, WPARAM mask, LPARAM styles) noexcept {
    return ::SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, styles);
}

void ListView::SetCheckState(HWND list, int position, bool checked) noexcept {
    LVITEMA item{};
    item.mask = LVIF_STATE;
    item.state = checked ? kStateImageChecked : kStateImageUnchecked;
    item.stateMask = kStateImageMask;
    ::SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(position),
                   reinterpret_cast<LPARAM>(&item));
}

bool ListView::GetCheckState(HWND list, int position) noexcept {
    const LRESULT state = ::SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(position),
                                         static_cast<LPARAM>(kStateImageMask));
    return (state & kStateImageChecked) != 0;
}

LRESULT ListView::SetImageList(HWND list, HIMAGELIST image_list, int which) noexcept {
    return ::SendMessageA(list, LVM_SETIMAGELIST, static_cast<WPARAM>(which),
                          reinterpret_cast<LPARAM>(image_list));
}

bool ListView_SetItem(HWND hwnd, LVITEMA& item) {
    return ::SendMessageA(hwnd, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

void ListView::SetGhosted(int one_based, bool ghosted) {
    CheckIndex(one_based);
    if (!hWnd()) return;
    LVITEMW item{};
    item.stateMask = LVIS_CUT;
    item.state = ghosted ? LVIS_CUT : 0;
    ::SendMessageW(hWnd(), LVM_SETITEMSTATE, one_based - 1, reinterpret_cast<LPARAM>(&item));
}

void ListView::SetColumnWidth(double twips) {
    if (twips < 0) RaiseError(kErrInvalidCall);
    column_width_ = twips;
    if (hWnd()) ::SendMessageW(hWnd(), LVM_SETCOLUMNWIDTH, 0, TwipsToPixelsX(twips, Scale()));
}

// --- ProgressBar ------------------------------------------------------------

void ProgressBar::Create(HWND parent, const TwipsScale& scale) {
    CreateWindowIn(parent, scale, {PROGRESS_CLASSW, 0, 0});
    ::SendMessageW(hWnd(), PBM_SETRANGE32, static_cast<WPARAM>(kMin), static_cast<LPARAM>(kMax));
    ::SendMessageW(hWnd(), PBM_SETPOS, static_cast<WPARAM>(value_), 0);
}

void ProgressBar::SetValue(float value) {
    // A bar outside its range answers "Invalid property value".
    if (!(value >= kMin && value <= kMax)) RaiseError(kErrInvalidPropertyValue);
    value_ = value;
    if (hWnd()) ::SendMessageW(hWnd(), PBM_SETPOS, static_cast<WPARAM>(std::lround(value)), 0);
}

// --- Picture ----------------------------------------------------------------

void Picture::Paint(HDC dc, const TwipsScale& scale) const noexcept {
    if (!bitmap_) return;
    unique_mem_dc memory(::CreateCompatibleDC(dc));
    if (!memory) return;
    scoped_select select(memory.get(), bitmap_);
    ::BitBlt(dc, TwipsToPixelsX(rect_.left, scale), TwipsToPixelsY(rect_.top, scale), size_.cx,
             size_.cy, memory.get(), 0, 0, SRCCOPY);
}

// --- Frame ------------------------------------------------------------------

namespace {
constexpr wchar_t kFrameClass[] = L"OrvaneFrame";
}

Frame::Frame(int id, TwipsRect rect, int tab_index, std::wstring caption, COLORREF background)
    : Control(id, rect, tab_index), background_(background) {
    caption_ = std::move(caption);
}

void Frame::Create(HWND parent, const TwipsScale& scale) {
    RegisterWindowClass(kFrameClass, nullptr, nullptr);
    UseScale(scale);
    const RECT r = PixelRect();
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (Visible()) style |= WS_VISIBLE;
    // The caption is painted from the frame's own text; the window itself
    // has none, so assistive technology finds no name on a plain container.
    const HWND hwnd =
        CreateBound(WS_EX_CONTROLPARENT, kFrameClass, L"", style, r.left, r.top, r.right - r.left,
                    r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id())));
    Adopt(hwnd, scale);
}

void Frame::PaintFace(HDC dc) const noexcept {
    RECT client;
    ::GetClientRect(WindowBase::hwnd(), &client);
    unique_hbrush brush(::CreateSolidBrush(background_));
    ::FillRect(dc, &client, brush.get());
    if (show_pictures_)
        for (const Picture* picture : pictures_) picture->Paint(dc, Scale());

    // The border runs through the middle of the caption's line, as a group
    // box draws it.
    HFONT font =
        caption_font_ ? caption_font_ : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    scoped_select select_font(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    RECT border = client;
    border.top += metrics.tmHeight / 2;
    ::DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
    if (!caption_.empty()) {
        ::SetBkColor(dc, background_);
        ::SetBkMode(dc, OPAQUE);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
        RECT text{8, 0, client.right - 8, metrics.tmHeight};
        ::DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &text,
                    DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOPREFIX);
    }
}

void Frame::SetFace(COLORREF background, bool show_pictures) noexcept {
    background_ = background;
    show_pictures_ = show_pictures;
    if (const HWND self = WindowBase::hwnd()) ::InvalidateRect(self, nullptr, TRUE);
}

LRESULT Frame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND self = WindowBase::hwnd();
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT draws the whole face
        case WM_PAINT: {
            PAINTSTRUCT ps;
            const HDC dc = ::BeginPaint(self, &ps);
            PaintFace(dc);
            ::EndPaint(self, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintFace(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
        case WM_DRAWITEM:
            // The form handles its controls' notifications, wherever they sit.
            return ::SendMessageW(::GetParent(self), message, wParam, lParam);
        default:
            return WindowBase::HandleMessage(message, wParam, lParam);
    }
}

// --- Timer ------------------------------------------------------------------

void Timer::Attach(HWND owner) noexcept {
    owner_ = owner;
    Update();
}

void Timer::Detach() noexcept {
    if (owner_ && ticking_) ::KillTimer(owner_, id_);
    ticking_ = false;
    owner_ = nullptr;
}

void Timer::SetInterval(long interval) {
    if (interval < 0 || interval > 65535) RaiseError(kErrInvalidCall);
    interval_ = static_cast<unsigned>(interval);
    Update();
}

void Timer::SetEnabled(bool enabled) noexcept {
    enabled_ = enabled;
    Update();
}

void Timer::Update() noexcept {
    if (!owner_) return;
    if (enabled_ && interval_ > 0) {
        ::SetTimer(owner_, id_, interval_, nullptr);  // restarts the count
        ticking_ = true;
    } else if (ticking_) {
        ::KillTimer(owner_, id_);
        ticking_ = false;
    }
}

}  // namespace orvane
