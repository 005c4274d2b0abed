// What the finished page offers once a run is done: the run's report to open
// and the drives that have none, with the reason. Only an engine with the
// second interface tells either; with any other the page stays as it was.
#include "wizard/frmWizard.h"

#include <shellapi.h>

#include "analysis/engine_reports.h"

namespace orvane {

void frmWizard::NoteFinishedDrive() {
    if (!HasEngine()) return;
    auto reports = EngineReports::Of(*engine_->get());
    if (!reports) return;
    std::wstring page = reports->ReportPage();
    if (!page.empty()) report_pages_.push_back(std::move(page));
}

void frmWizard::ShowWhatTheRunLeft() {
    if (!HasEngine()) return;
    auto reports = EngineReports::Of(*engine_->get());
    if (!reports) return;
    OfferReports(*reports);
    ShowDrivesWithoutReport(reports->DrivesWithoutReport());
}

void frmWizard::OfferReports(EngineReports& reports) {
    if (report_pages_.empty()) return;
    // One report opens as itself; several open at the index that lists them.
    std::wstring index = report_pages_.size() > 1 ? reports.IndexPage() : std::wstring();
    if (index.empty()) {
        report_target_ = report_pages_.back();
        lnkViewReport.SetCaption(L"View the report");
    } else {
        report_target_ = std::move(index);
        lnkViewReport.SetCaption(L"View the reports");
    }
    lnkViewReport.SetVisible(true);
}

void frmWizard::ShowDrivesWithoutReport(const std::vector<DriveWithoutReport>& drives) {
    if (drives.empty()) return;
    std::vector<std::wstring> lines;
    for (const DriveWithoutReport& drive : drives) lines.push_back(drive.description);
    // The folder last scanned says nothing once the run is done: the note
    // takes its place.
    Label3.SetVisible(false);
    lblFolderName.SetVisible(false);
    txtRunProblems.SetLines(lines);
    txtRunProblems.SetVisible(true);
}

void frmWizard::lnkViewReport_Click() {
    if (report_target_.empty()) return;
    // The shell tells the user itself when nothing can open the page.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = hwnd();
    info.lpFile = report_target_.c_str();
    info.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExW(&info);
}

}  // namespace orvane
