// frmWizard: the program's one window, a fixed-size wizard with a banner, a
// button row and two pages (drive selection, analysis progress). The controls
// are named members; the handlers are member functions, one file per part of
// the wizard (pages, drive page, selection, run driver, progress tick), each
// thin over the plain code of drives/ and analysis/. The two components are
// owned by the program (app/) and lent to the wizard at start-up.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The program's own wrappers carry the names of these commctrl macros.
#undef ListView_SetImageList

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "orvane/components.h"
#include "support/currency.h"
#include "support/error_mode.h"
#include "support/twips.h"
#include "orvane/win32_handles.h"
#include "window/controls.h"
#include "window/dialog_window.h"
#include "window/link_button.h"
#include "window/taskbar_progress.h"
#include "wizard/colour_choice.h"
#include "wizard/control_ids.h"

namespace orvane {

inline constexpr COLORREF kWhite = RGB(255, 255, 255);
// Client area of the window, in twips.
inline constexpr double kClientWidthTwips = 6420;
inline constexpr double kClientHeightTwips = 5085;

class DriveRoot;
class EngineClient;
class EngineReports;
struct DriveWithoutReport;
struct EngineProgress;

class frmWizard final : public DialogWindow {
public:
    frmWizard();
    ~frmWizard() override;

    // --- Controls, front to back within each container -----------------------
    Timer tmrProgress{ids::kProgressTimerId, 200, true};
    CommandButton cmdNext{ids::cmdNext, {5040, 4500, 1095, 350}, 5, L"Next >"};
    CommandButton cmdCancel{ids::cmdCancel, {3840, 4500, 1095, 350}, 4, L"Cancel"};
    Frame frmTop{ids::frmTop, {-90, -120, 8775, 975}, 0, L"", kWhite};
    Label lblTitle{
        ids::lblTitle, {270, 315, 2895, 255}, 2, L"Select drives to analyze", Label::Align::Left,
        true};
    Label lblDesc{ids::lblDesc,
                  {390, 555, 3975, 255},
                  1,
                  L"Select drives from the following list, and click on Next >",
                  Label::Align::Left,
                  true};
    Picture Image1{{-555, -105, 7500, 1050}};
    Frame frmBar{ids::frmBar, {-120, 4200, 7335, 1815}, 3, L"", ::GetSysColor(COLOR_BTNFACE)};
    Frame frmDrives{
        ids::frmDrives, {-120, 480, 6720, 4500}, 6, L"Frame3", ::GetSysColor(COLOR_BTNFACE)};
    TextBox txtLoading{
        ids::txtLoading, {360, 480, 5940, 3165}, 17, L"Loading local disks...please wait..."};
    ListView lvwDrives{ids::lvwDrives, {360, 480, 5940, 3165}, 7};
    Frame frmProgress{
        ids::frmProgress, {-120, 480, 6975, 4500}, 8, L"Frame4", ::GetSysColor(COLOR_BTNFACE)};
    // The finished page's link to the run's report and its note of the drives
    // without one; both hidden until a run is done. They come before the
    // box in the tab order, as they do on the page (the order is stable).
    LinkButton lnkViewReport{ids::lnkViewReport, {315, 3090, 5940, 210}, 18, L"View the report"};
    NoteBox txtRunProblems{ids::txtRunProblems, {315, 840, 5940, 780}, 18};
    CheckBox chkCloseWhenDone{ids::chkCloseWhenDone,
                              {315, 3345, 4650, 255},
                              18,
                              L"Close this dialog box when disk analysis is complete"};
    ProgressBar pbOverallProgress{ids::pbOverallProgress, {315, 2760, 5940, 255}, 13};
    ProgressBar pbDiskProgress{ids::pbDiskProgress, {315, 1920, 5940, 255}, 9};
    Label lblDiskCount{ids::lblDiskCount, {3600, 2490, 2655, 255}, 16, L"", Label::Align::Right};
    Label lblOverallProgress{
        ids::lblOverallProgress, {315, 2505, 3255, 210}, 15, L"Overall progress"};
    Label lblDiskProgStatus{
        ids::lblDiskProgStatus, {315, 1650, 3375, 255}, 14, L"Analyzing drive "};
    Label lblFileFldCount{
        ids::lblFileFldCount, {3600, 1650, 2655, 255}, 12, L"", Label::Align::Right};
    Label lblFolderName{ids::lblFolderName, {315, 1080, 5940, 195}, 11, L""};
    Label Label3{ids::Label3, {315, 840, 825, 210}, 10, L"Analyzing"};

    // --- Run state ------------------------------------------------------------
    bool bCancelled = false;
    bool bCloseWhenDone = false;
    bool bNoDriveSelected = false;
    std::vector<std::wstring> sSelectedDrives;
    Currency cyTotalUsedBytes;
    Currency cyDriveUsedBytes;
    Currency cyDriveScanned;
    Currency cyBytesDone;
    std::int16_t iDiskPercent = 0;
    std::int16_t iOverallPercent = 0;

    // --- Lifetime ---------------------------------------------------------------
    // Creates the window and its controls and runs the load handler.
    void Load();
    bool IsLoaded() const noexcept { return loaded_; }
    // Runs the unload handler and destroys the window; nothing when unloaded.
    void Unload();
    // Shows the window modeless, without an owner.
    void Show();
    void SetFocus();
    // The program's component references, which the unload handler, Cancel
    // and the run use. They stay the program's: the wizard only refers to them.
    void UseComponents(com_ptr<IStyleman>& styleman, com_ptr<IAnalysisEngine>& engine) noexcept {
        styleman_ = &styleman;
        engine_ = &engine;
    }
    // Called once the window is gone (the program ends its message loop here).
    void SetUnloadedCallback(std::function<void()> callback) { on_unloaded_ = std::move(callback); }

    // Outer geometry of the window in twips (screen coordinates).
    double Left() const noexcept;
    double Top() const noexcept;
    double Width() const noexcept;
    double Height() const noexcept;
    const TwipsScale& Scale() const noexcept { return scale_; }
    HFONT Font() const noexcept { return font_.get(); }
    // Whether the run driver is between the start of a run and its end.
    bool RunInProgress() const noexcept { return run_in_progress_; }

    // --- Wizard pages and commands ----------------------------------------------
    void ShowPage(Frame& page_to_show, Frame& page_to_hide);
    void StopProgressTimer();
    void Form_Initialize();
    void Form_Load();
    void Form_Unload(int& cancel);
    void cmdCancel_Click();
    void chkCloseWhenDone_Click();

    // --- Drive list ---------------------------------------------------------------
    void LoadDriveList(ListView& lvw, bool bLargeIcons);
    HIMAGELIST GetSystemImagelist(UINT uFlags);
    LRESULT ListView_SetImageList(HWND hwnd, HIMAGELIST himl, int iImageList);
    void SetCheck(HWND hwnd, long lItemIndex, bool bState);
    bool CollectSelectedDrives();
    Currency GetDriveUsedBytes(const std::wstring& drive);

    // --- Analysis run ---------------------------------------------------------------
    void cmdNext_Click();
    void tmrProgress_Timer();

    // --- The finished page --------------------------------------------------------
    // Opens the run's report (or the index of several) in the default browser.
    void lnkViewReport_Click();

    // --- The shell, the system colours and assistive technology ----------------
    // The banner's colours now (they follow the system's colours and high contrast).
    const BannerColours& Banner() const noexcept { return banner_colours_; }
    // An error report is about to be shown: the taskbar button says so.
    void OnErrorReport() noexcept { taskbar_.ShowError(); }

    // The wizard currently loaded, if any (message boxes centre over it).
    static frmWizard* Active() noexcept { return active_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnNcDestroy() override;
    std::vector<Control*> AllControls() override;
    void OnClick(int control_id) override;
    void OnCloseBox() override;

private:
    void CreateFonts();
    SIZE BannerSize() const noexcept;
    void CreateControls();
    void AddDriveEntry(ListView& lvw, const DriveRoot& drive, ErrorMode& errors);
    // The engine, or the "object not set" error (91) before start-up created it.
    EngineClient Engine();
    bool HasEngine() const noexcept { return engine_ && *engine_; }
    // What a tick shows of the engine's figures: the folder, the count, the
    // scanned bytes and both bars (at most 97).
    void ShowProgress(const EngineProgress& progress);
    // The steps of a run, in the order "Next >" takes them. The two that
    // analyse answer false when a Cancel came first.
    void ApplyCloseWhenDoneSetting();
    void AddUpSelectedUsedBytes(std::int16_t upper_bound);
    void ShowProgressPage(bool one_drive);
    bool AnalyzeSelectedDrives(std::int16_t upper_bound);
    bool AnalyzeSelectedDrive(std::int16_t index, long drive_count);
    void ShowRunDone();
    // After each drive: the page of its report, when the engine offers one.
    void NoteFinishedDrive();
    // At the end of a run: the link to the reports and the drives without one.
    void ShowWhatTheRunLeft();
    void OfferReports(EngineReports& reports);
    void ShowDrivesWithoutReport(const std::vector<DriveWithoutReport>& drives);
    LRESULT OnDriveListCustomDraw(NMLVCUSTOMDRAW& draw);
    LRESULT OnCtlColor(UINT message, HDC dc, HWND control);
    void ForgetWindows() noexcept;
    // Messages from the shell and the system; true when handled.
    bool HandleShellMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ApplySystemColours();
    void AnnotateForAssistiveTechnology();
    // The bar that stands for the whole run goes to the taskbar button.
    void ShowRunOnTaskbar() noexcept;

    friend class RunScope;
    bool loaded_ = false;
    bool run_in_progress_ = false;
    TwipsScale scale_;
    unique_hfont font_;
    unique_hfont bold_font_;
    unique_hfont link_font_;
    std::vector<std::wstring> report_pages_;  // the pages of this run's reports
    std::wstring report_target_;              // what the link opens
    unique_hbitmap banner_;
    unique_hicon icon_;
    unique_hicon program_icon_;  // from the exe's resources, for Alt+Tab and the taskbar
    unique_hbrush window_brush_;
    BannerColours banner_colours_{};
    TaskbarProgress taskbar_;
    com_ptr<IStyleman>* styleman_ = nullptr;
    com_ptr<IAnalysisEngine>* engine_ = nullptr;
    std::function<void()> on_unloaded_;
    static frmWizard* active_;
};

// The window's device context with the form's font selected, as text is
// measured for its labels.
class FormDC {
public:
    explicit FormDC(const frmWizard& form) noexcept;
    HDC get() const noexcept { return dc_.get(); }

private:
    unique_window_dc dc_;
    scoped_select font_;
};

// The program's wizard: the first reference creates and loads it. After it
// has been unloaded it stays unloaded.
frmWizard& Wizard();

}  // namespace orvane
