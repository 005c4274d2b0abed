// Where the wizard meets the rest of the desktop: its taskbar button, the
// system's colours and high contrast, and the names that assistive
// technology reads for controls that the stacking order leaves unnamed.
#include <cwctype>

#include "window/accessible_annotation.h"
#include "wizard/frmWizard.h"

namespace orvane {

namespace {

std::wstring Trimmed(const std::wstring& text) {
    size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first])) ++first;
    while (last > first && std::iswspace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// The control is named by what the label beside it says at the time.
std::function<std::wstring()> NamedBy(const Label& label) {
    return [&label] { return Trimmed(label.Caption()); };
}

}  // namespace

bool frmWizard::HandleShellMessage(UINT message, WPARAM, LPARAM) {
    const UINT button_created = TaskbarProgress::ButtonCreatedMessage();
    if (button_created != 0 && message == button_created) {
        taskbar_.OnButtonCreated(hwnd());
        return true;
    }
    switch (message) {
        case WM_SYSCOLORCHANGE:
            // The common controls hear of new colours only from their window.
            for (const Control* control :
                 {static_cast<Control*>(&lvwDrives), static_cast<Control*>(&pbDiskProgress),
                  static_cast<Control*>(&pbOverallProgress)})
                if (control->hWnd()) ::SendMessageW(control->hWnd(), WM_SYSCOLORCHANGE, 0, 0);
            ApplySystemColours();
            return false;
        case WM_SETTINGCHANGE:  // high contrast switched on or off, among others
        case WM_THEMECHANGED:
            ApplySystemColours();
            return false;
        default:
            return false;
    }
}

void frmWizard::ApplySystemColours() {
    banner_colours_ = ChooseBannerColours(HighContrastOn(), ::GetSysColor(COLOR_WINDOW),
                                          ::GetSysColor(COLOR_WINDOWTEXT));
    frmTop.SetFace(banner_colours_.face, banner_colours_.show_artwork);
    for (Frame* frame : {&frmBar, &frmDrives, &frmProgress})
        frame->SetFace(::GetSysColor(COLOR_BTNFACE), true);
    window_brush_.reset(::CreateSolidBrush(::GetSysColor(COLOR_WINDOW)));
    lvwDrives.UseSystemColours();
    lnkViewReport.SetTextColour(LinkTextColour(
        ::GetSysColor(COLOR_HOTLIGHT), ::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNTEXT)));
    if (hwnd())
        ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void frmWizard::AnnotateForAssistiveTechnology() {
    AnnotateAccessible(lvwDrives.hWnd(),
                       {[] { return std::wstring(L"Drives"); }, nullptr,
                        [this](long child) {
                            // Not only shown in grey: said to whoever cannot see it.
                            return lvwDrives.GhostedAt(static_cast<int>(child - 1))
                                       ? std::wstring(L"Not accessible and cannot be analyzed")
                                       : std::wstring();
                        }});
    AnnotateAccessible(txtRunProblems.hWnd(),
                       {[] { return std::wstring(L"Drives without a report"); }, nullptr, nullptr});
    AnnotateAccessible(pbDiskProgress.hWnd(), {NamedBy(lblDiskProgStatus), nullptr, nullptr});
    AnnotateAccessible(pbOverallProgress.hWnd(), {NamedBy(lblOverallProgress), nullptr, nullptr});
    // The lines say what they show as their value, under the label's name.
    AnnotateAccessible(lblFolderName.hWnd(),
                       {NamedBy(Label3), [this] { return lblFolderName.Caption(); }, nullptr});
    AnnotateAccessible(lblFileFldCount.hWnd(),
                       {NamedBy(lblDiskProgStatus),
                        [this] { return Trimmed(lblFileFldCount.Caption()); }, nullptr});
}

void frmWizard::ShowRunOnTaskbar() noexcept {
    // In a one-drive run the overall bar is hidden and the drive bar is the run.
    const ProgressBar& bar = pbOverallProgress.Visible() ? pbOverallProgress : pbDiskProgress;
    taskbar_.ShowProgress(static_cast<int>(bar.Value() + 0.5f));
}

}  // namespace orvane
