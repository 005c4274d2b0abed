#include "wizard/frmWizard.h"

#include <algorithm>

#include "analysis/engine_client.h"
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
unique_hfont CreateFormFont(int weight, bool underline = false) {
    unique_window_dc screen(nullptr);
    const int dpi_y = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    LOGFONTW lf{};
    lf.lfHeight = -::MulDiv(825, dpi_y, 7200);
    lf.lfWeight = weight;
    lf.lfUnderline = underline ? TRUE : FALSE;
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

// While an error report is up the wizard's taskbar button shows the error.
void MarkActiveWizardFailed() noexcept {
    if (frmWizard* wizard = frmWizard::Active()) wizard->OnErrorReport();
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
        on_unloaded_ = nullptr;
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
    banner_ = CreateBannerBitmap(BannerSize());
    icon_ = CreateWizardIcon();
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
    // Alt+Tab and the taskbar button show the big icon: the program's own
    // multi-size icon where the exe carries one, the title-bar image otherwise.
    program_icon_.reset(static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    const HICON big_icon = program_icon_ ? program_icon_.get() : icon_.get();
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon));
    CreateControls();
    tmrProgress.Attach(hwnd());
    loaded_ = true;
    active_ = this;
    SetCenteringTargetProvider(&ActiveWizardTarget);
    SetErrorReportListener(&MarkActiveWizardFailed);
    Form_Load();
}

SIZE frmWizard::BannerSize() const noexcept {
    // The picture's natural size is its twips at the screen's scale.
    return SIZE{TwipsToPixelsX(kBannerWidthTwips, scale_),
                TwipsToPixelsY(kBannerHeightTwips, scale_)};
}

void frmWizard::CreateFonts() {
    font_ = CreateFormFont(FW_NORMAL);
    bold_font_ = CreateFormFont(FW_BOLD);
    link_font_ = CreateFormFont(FW_NORMAL, true);
}

void frmWizard::CreateControls() {
    const HWND form = hwnd();
    cmdNext.Create(form, scale_);
    cmdCancel.Create(form, scale_);
    frmTop.Create(form, scale_);
    lblTitle.Create(frmTop.hWnd(), scale_);
    lblDesc.Create(frmTop.hWnd(), scale_);
    Image1.SetBitmap(banner_.get(), BannerSize());
    frmTop.AddPicture(&Image1);
    frmBar.Create(form, scale_);
    frmDrives.Create(form, scale_);
    txtLoading.Create(frmDrives.hWnd(), scale_);
    lvwDrives.Create(frmDrives.hWnd(), scale_, 1440);
    frmProgress.Create(form, scale_);
    lnkViewReport.SetVisible(false);
    lnkViewReport.Create(frmProgress.hWnd(), scale_);
    txtRunProblems.SetVisible(false);
    txtRunProblems.Create(frmProgress.hWnd(), scale_);
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
    lblTitle.SetFont(bold_font_.get());
    lnkViewReport.SetLinkFont(link_font_.get());
    for (Frame* frame : {&frmTop, &frmBar, &frmDrives, &frmProgress})
        frame->SetCaptionFont(font_.get());
    txtLoading.SetEnabled(false);
    EnableTabbing();
    ApplySystemColours();
    AnnotateForAssistiveTechnology();
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
            &txtRunProblems,
            &lnkViewReport,
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
    taskbar_.Release();
    ForgetWindows();
    loaded_ = false;
    if (active_ == this) active_ = nullptr;
    if (on_unloaded_) {
        auto callback = std::move(on_unloaded_);
        on_unloaded_ = nullptr;
        callback();
    }
}

double frmWizard::Left() const noexcept { return PixelsToTwipsX(OuterRect(hwnd()).left, scale_); }
double frmWizard::Top() const noexcept { return PixelsToTwipsY(OuterRect(hwnd()).top, scale_); }
double frmWizard::Width() const noexcept {
    const RECT r = OuterRect(hwnd());
    return PixelsToTwipsX(r.right - r.left, scale_);
}
double frmWizard::Height() const noexcept {
    const RECT r = OuterRect(hwnd());
    return PixelsToTwipsY(r.bottom - r.top, scale_);
}

// --- Messages -----------------------------------------------------------------

LRESULT frmWizard::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleShellMessage(message, wParam, lParam)) return 0;
    switch (message) {
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == lvwDrives.hWnd() && header->code == NM_CUSTOMDRAW)
                return OnDriveListCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
            break;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->hwndItem != lnkViewReport.hWnd()) break;
            lnkViewReport.Draw(*item);
            return TRUE;
        }
        case WM_TIMER:
            if (wParam == tmrProgress.Id() && tmrProgress.Ticking()) tmrProgress_Timer();
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return OnCtlColor(message, reinterpret_cast<HDC>(wParam),
                              reinterpret_cast<HWND>(lParam));
        case WM_DESTROY:
            tmrProgress.Detach();
            return 0;
        default:
            break;
    }
    return DialogWindow::HandleMessage(message, wParam, lParam);
}

void frmWizard::OnClick(int control_id) {
    struct Route {
        int id;
        void (frmWizard::*handler)();
    };
    // The user's click on the box toggles it and then runs its handler.
    static constexpr Route kRoutes[] = {
        {ids::cmdNext, &frmWizard::cmdNext_Click},
        {ids::cmdCancel, &frmWizard::cmdCancel_Click},
        {ids::lnkViewReport, &frmWizard::lnkViewReport_Click},
    };
    if (control_id == ids::chkCloseWhenDone) return chkCloseWhenDone.OnUserClick();
    for (const Route& route : kRoutes)
        if (route.id == control_id) return (this->*route.handler)();
}

EngineClient frmWizard::Engine() {
    if (!HasEngine()) RaiseError(kErrObjectNotSet);
    return EngineClient(*engine_->get());
}

LRESULT frmWizard::OnDriveListCustomDraw(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            // A drive that cannot be read shows its name greyed as well as
            // its icon ghosted, so the mark is plain wherever the list runs;
            // a selected one keeps the selection's colours, which grey on the
            // highlight could make unreadable.
            const int item = static_cast<int>(draw.nmcd.dwItemSpec);
            if (lvwDrives.GhostedAt(item) && !lvwDrives.SelectedAt(item))
                draw.clrText =
                    GreyedTextColour(::GetSysColor(COLOR_GRAYTEXT), ::GetSysColor(COLOR_WINDOW),
                                     ::GetSysColor(COLOR_WINDOWTEXT));
            return CDRF_DODEFAULT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

void frmWizard::OnCloseBox() {
    // During a run the close box acts as a confirmed Cancel without the
    // question, so the run driver stops at its next check.
    if (run_in_progress_ && !bCancelled) {
        bCancelled = true;
        taskbar_.Remove();
        if (HasEngine()) Engine().Cancel();
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
        ::SetTextColor(dc, banner_colours_.text);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    if (control == txtLoading.hWnd() || message == WM_CTLCOLOREDIT) {
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        ::SetTextColor(
            dc, ::GetSysColor(::IsWindowEnabled(control) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        return reinterpret_cast<LRESULT>(window_brush_.get());
    }
    ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
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
