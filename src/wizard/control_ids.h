// Control identifiers of the wizard window. They let the program route
// notifications and let the black-box tests find each control from outside
// (EnumChildWindows + GetDlgCtrlID: the controls sit inside frames).
#pragma once

namespace orvane::ids {

inline constexpr wchar_t kWizardClassName[] = L"OrvaneAnalyzerWizard";
inline constexpr wchar_t kWizardCaption[] = L"Orvane Analyzer";

enum ControlId : int {
    cmdNext = 101,
    cmdCancel = 102,
    frmTop = 103,
    lblTitle = 104,
    lblDesc = 105,
    frmBar = 107,
    frmDrives = 108,
    txtLoading = 109,
    lvwDrives = 110,
    frmProgress = 111,
    chkCloseWhenDone = 112,
    pbOverallProgress = 113,
    pbDiskProgress = 114,
    lblDiskCount = 115,
    lblOverallProgress = 116,
    lblDiskProgStatus = 117,
    lblFileFldCount = 118,
    lblFolderName = 119,
    Label3 = 120,
    lnkViewReport = 121,
    txtRunProblems = 122,
};

// Timer identifier of tmrProgress on the wizard window.
inline constexpr unsigned kProgressTimerId = 1;

}  // namespace orvane::ids
