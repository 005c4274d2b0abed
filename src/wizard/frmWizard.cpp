#include "wizard/frmWizard.h"

#include <algorithm>

#include "app/mMain.h"
#include "support/app_error.h"
#include "support/msgbox_hook.h"
#include "support/wait_cursor.h"
#include "wizard/artwork.h"

namespace orvane {

namespace {

constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

// "MS Sans Serif" 8.25 pt at the screen's resolution.
unique_hfont CreateFormFont(int weight) {
    unique_window_dc screen(nullptr);
    const int dpiY = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(825, dpiY, 7200);
    lf.lfWeight = weight;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    ::lstrcpynW(lf.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
    unique_hfont font(::CreateFontIndirectW(&lf));
    if (!font) RaiseLastError();
    return font;
}

CenteringTarget ActiveWizardTarget() {
    CenteringTarget target;
    if (const frmWizard* wizard = frmWizard::Active()) {
        target.hwnd = wizard->hwnd();
        target.left = wizard->Left();
        target.top = wizard->Top();
        target.width = wizard->Width();
        target.height = wizard->Height();
        target.scale = wizard->Scale();
    }
    return target;
}

RECT OuterRect(HWND hwnd) noexcept {
    RECT r{};
    if (hwnd) ::GetWindowRect(hwnd, &r);
    return r;
}

}  // namespace

frmWizard* frmWizard::active_ = nullptr;

frmWizard::frmWizard() {
    chkCloseWhenDone.SetClickHandler([this] { chkCloseWhenDone_Click(); });
}

frmWizard::~frmWizard() {
    if (hwnd()) {
        onUnloaded_ = nullptr;
        ::DestroyWindow(hwnd());
    }
    if (active_ == this) active_ = nullptr;
}

// --- Lifetime -------------------------------------------------------------------

void frmWizard::Form_Initialize() {
    // The list view and the progress bars need the common controls registered.
    ::InitCommonControls();
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
}

void frmWizard::Load() {
    if (loaded_ || hwnd()) return;
    Form_Initialize();
    scale_ = ScreenTwipsScale();
    CreateFonts();
    banner_ = CreateBannerBitmap();
    icon_ = CreateWizardIcon();
    windowBrush_.reset(::CreateSolidBrush(::GetSysColor(COLOR_WINDOW)));
    RegisterWindowClass(ids::kWizardClassName, ::GetSysColorBrush(COLOR_BTNFACE), icon_.get());

    RECT outer{0, 0, TwipsToPixelsX(kClientWidthTwips, scale_),
               TwipsToPixelsY(kClientHeightTwips, scale_)};
    ::AdjustWindowRectEx(&outer, kWindowStyle, FALSE, kWindowExStyle);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    CreateBound(kWindowExStyle, ids::kWizardClassName, ids::kWizardCaption, kWindowStyle, x, y,
                width, height, nullptr, nullptr);
    ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.get()));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
    CreateControls();
    tmrProgress.Attach(hwnd());
    loaded_ = true;
    active_ = this;
    SetCenteringTargetProvider(&ActiveWizardTarget);
    Form_Load();
}

void frmWizard::CreateFonts() {
    font_ = CreateFormFont(FW_NORMAL);
    boldFont_ = CreateFormFont(FW_BOLD);
}

void frmWizard::CreateControls() {
    const HWND form = hwnd();
    cmdNext.Create(form, scale_);
    cmdCancel.Create(form, scale_);
    frmTop.Create(form, scale_);
    lblTitle.Create(frmTop.hWnd(), scale_);
    lblDesc.Create(frmTop.hWnd(), scale_);
    Image1.SetBitmap(banner_.get(), SIZE{kBannerWidth, kBannerHeight});
    frmTop.AddPicture(&Image1);
    frmBar.Create(form, scale_);
    frmDrives.Create(form, scale_);
    txtLoading.Create(frmDrives.hWnd(), scale_);
    lvwDrives.Create(frmDrives.hWnd(), scale_, 1440);
    frmProgress.Create(form, scale_);
    chkCloseWhenDone.Create(frmProgress.hWnd(), scale_);
    pbOverallProgress.Create(frmProgress.hWnd(), scale_);
    pbDiskProgress.Create(frmProgress.hWnd(), scale_);
    lblDiskCount.Create(frmProgress.hWnd(), scale_);
    lblOverallProgress.Create(frmProgress.hWnd(), scale_);
    lblDiskProgStatus.Create(frmProgress.hWnd(), scale_);
    lblFileFldCount.Create(frmProgress.hWnd(), scale_);
    lblFolderName.Create(frmProgress.hWnd(), scale_);
    Label3.Create(frmProgress.hWnd(), scale_);

    for (Control* control : AllControls()) control->SetFont(font_.get());
    lblTitle.SetFont(boldFont_.get());
    for (Frame* frame : {&frmTop, &frmBar, &frmDrives, &frmProgress})
        frame->SetCaptionFont(font_.get());
    txtLoading.SetEnabled(false);
    for (Control* control : TabOrder())
        ::SetWindowSubclass(control->hWnd(), &FocusSubclassProc, 1,
                            reinterpret_cast<DWORD_PTR>(this));
}

std::vector<Control*> frmWizard::AllControls() {
    return {&cmdNext,
            &cmdCancel,
            &frmTop,
            &lblTitle,
            &lblDesc,
            &frmBar,
            &frmDrives,
            &txtLoading,
            &lvwDrives,
            &frmProgress,
            &chkCloseWhenDone,
            &pbOverallProgress,
            &pbDiskProgress,
            &lblDiskCount,
            &lblOverallProgress,
            &lblDiskProgStatus,
            &lblFileFldCount,
            &lblFolderName,
            &Label3};
}

std::vector<Control*> frmWizard::TabOrder() {
    std::vector<Control*> order;
    for (Control* control : AllControls())
        if (control->TakesFocus()) order.push_back(control);
    std::sort(order.begin(), order.end(),
              [](const Control* a, const Control* b) { return a->TabIndex() < b->TabIndex(); });
    return order;
}

void frmWizard::Show() {
    if (!hwnd()) return;
    ::ShowWindow(hwnd(), SW_SHOW);
    ::UpdateWindow(hwnd());
}

void frmWizard::SetFocus() {
    if (!hwnd()) return;
    ::SetForegroundWindow(hwnd());
    ::SetFocus(hwnd());
}

void frmWizard::Unload() {
    if (!loaded_) return;
    loaded_ = false;
    int cancel = 0;
    Form_Unload(cancel);
    tmrProgress.Detach();
    if (hwnd()) ::DestroyWindow(hwnd());
}

void frmWizard::ForgetWindows() noexcept {
    for (Control* control : AllControls()) control->Detach();
    tmrProgress.Detach();
}

void frmWizard::OnNcDestroy() {
    ForgetWindows();
    loaded_ = false;
    if (active_ == this) active_ = nullptr;
    if (onUnloaded_) {
        auto callback = std::move(onUnloaded_);
        onUnloaded_ = nullptr;
        callback();
    }
}

double frmWizard::Left() const noexcept { return OuterRect(hwnd()).left * scale_.perPixelX; }
double frmWizard::Top() const noexcept { return OuterRect(hwnd()).top * scale_.perPixelY; }
double frmWizard::Width() const noexcept {
    const RECT r = OuterRect(hwnd());
    return (r.right - r.left) * scale_.perPixelX;
}
double frmWizard::Height() const noexcept {
    const RECT r = OuterRect(hwnd());
    return (r.bottom - r.top) * scale_.perPixelY;
}

// --- Messages -----------------------------------------------------------------

LRESULT frmWizard::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == lvwDrives.hWnd() && header->code == NM_CUSTOMDRAW)
                return OnDriveListCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
            break;
        }
        case WM_TIMER:
            if (wParam == tmrProgress.Id() && tmrProgress.Ticking()) tmrProgress_Timer();
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_ENDSESSION:
            // Logoff or shutdown ends the process without a WM_CLOSE: unload
            // as the close box does, so the components are told.
            if (wParam) OnClose();
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return OnCtlColor(message, reinterpret_cast<HDC>(wParam),
                              reinterpret_cast<HWND>(lParam));
        case WM_SETCURSOR:
            if (HCURSOR cursor = ProgramWideCursor()) {
                ::SetCursor(cursor);
                return TRUE;
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = ::GetFocus();
                if (focus && ::IsChild(hwnd(), focus)) lastFocus_ = focus;
            } else if (lastFocus_ && ::IsWindow(lastFocus_) && ::IsWindowVisible(lastFocus_) &&
                       ::IsWindowEnabled(lastFocus_)) {
                ::SetFocus(lastFocus_);
                return 0;
            }
            break;
        case WM_SETFOCUS:
            // Like a dialog: the focus goes on to the first control that takes it.
            MoveFocus(false);
            return 0;
        case WM_DESTROY:
            tmrProgress.Detach();
            return 0;
        default:
            break;
    }
    return WindowBase::HandleMessage(message, wParam, lParam);
}

void frmWizard::OnCommand(int id, int code, HWND control) {
    if (code != BN_CLICKED || !control) return;
    // Only what the user could click reaches a handler.
    if (!::IsWindowVisible(control) || !::IsWindowEnabled(control)) return;
    switch (id) {
        case ids::cmdNext:
            cmdNext_Click();
            break;
        case ids::cmdCancel:
            cmdCancel_Click();
            break;
        case ids::chkCloseWhenDone:
            chkCloseWhenDone.OnUserClick();
            break;
        default:
            break;  // Enter and Escape (IDOK, IDCANCEL) do nothing
    }
}

LRESULT frmWizard::OnDriveListCustomDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            // A drive that cannot be read shows its name greyed as well as
            // its icon ghosted, so the mark is plain wherever the list runs.
            const auto item = static_cast<WPARAM>(draw.nmcd.dwItemSpec);
            if (::SendMessageW(lvwDrives.hWnd(), LVM_GETITEMSTATE, item, LVIS_CUT) & LVIS_CUT)
                draw.clrText = ::GetSysColor(COLOR_GRAYTEXT);
            return CDRF_DODEFAULT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

void frmWizard::OnClose() {
    // During a run the close box acts as a confirmed Cancel without the
    // question, so the run driver stops at its next check.
    if (runInProgress_ && !bCancelled) {
        bCancelled = true;
        if (objEngine) ThrowIfFailed(objEngine->Cancel());
        StopProgressTimer();
    }
    Unload();
}

LRESULT frmWizard::OnCtlColor(UINT message, HDC dc, HWND control) {
    if (control == lblTitle.hWnd() || control == lblDesc.hWnd()) {
        // Transparent labels: the container's face (white, the banner picture)
        // shows through; only the text is drawn.
        const HWND container = ::GetParent(control);
        POINT origin{0, 0};
        ::MapWindowPoints(control, container, &origin, 1);
        POINT old;
        ::SetViewportOrgEx(dc, -origin.x, -origin.y, &old);
        ::SendMessageW(container, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    if (control == txtLoading.hWnd() || message == WM_CTLCOLOREDIT) {
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        ::SetTextColor(
            dc, ::GetSysColor(::IsWindowEnabled(control) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        return reinterpret_cast<LRESULT>(windowBrush_.get());
    }
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void frmWizard::MoveFocus(bool backwards) {
    auto order = TabOrder();
    if (backwards) std::reverse(order.begin(), order.end());
    const HWND focus = ::GetFocus();
    auto current = std::find_if(order.begin(), order.end(),
                                [&](const Control* c) { return c->hWnd() == focus; });
    const size_t start =
        current == order.end() ? order.size() - 1 : static_cast<size_t>(current - order.begin());
    for (size_t step = 1; step <= order.size(); ++step) {
        const Control* next = order[(start + step) % order.size()];
        const HWND candidate = next->hWnd();
        // A control on a hidden page is hidden too: IsWindowVisible sees that.
        if (candidate && ::IsWindowVisible(candidate) && ::IsWindowEnabled(candidate)) {
            ::SetFocus(candidate);
            return;
        }
    }
}

LRESULT CALLBACK frmWizard::FocusSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR, DWORD_PTR data) noexcept {
    auto* form = reinterpret_cast<frmWizard*>(data);
    if (message == WM_KEYDOWN && wParam == VK_TAB) {
        GuardBoundary([&] { form->MoveFocus(::GetKeyState(VK_SHIFT) < 0); });
        return 0;
    }
    if (message == WM_CHAR && wParam == L'\t') return 0;
    if (message == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, &FocusSubclassProc, 1);
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

// --- FormDC -----------------------------------------------------------------------

FormDC::FormDC(const frmWizard& form) noexcept : dc_(form.hwnd()), font_(dc_.get(), form.Font()) {}

// --- The program's wizard ------------------------------------------------------------

frmWizard& Wizard() {
    static frmWizard* wizard = [] {
        auto* created = new frmWizard();  // lives until the process ends
        created->Load();
        return created;
    }();
    return *wizard;
}

}  // namespace orvane
