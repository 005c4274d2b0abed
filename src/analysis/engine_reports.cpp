#include "analysis/engine_reports.h"

#include "support/app_error.h"

namespace orvane {

namespace {

std::wstring TextOf(const unique_bstr& text) {
    return std::wstring(text.get() ? text.get() : L"", text.length());
}

}  // namespace

std::optional<EngineReports> EngineReports::Of(IAnalysisEngine& engine) {
    com_ptr<IAnalysisReports> reports;
    if (FAILED(engine.QueryInterface(IID_IAnalysisReports, reports.put_void())) || !reports)
        return std::nullopt;
    return EngineReports(std::move(reports));
}

std::wstring EngineReports::ReportPage() {
    unique_bstr path;
    ThrowIfFailed(reports_->GetReportPage(path.put()));
    return TextOf(path);
}

std::wstring EngineReports::IndexPage() {
    unique_bstr path;
    ThrowIfFailed(reports_->GetIndexPage(path.put()));
    return TextOf(path);
}

std::vector<DriveWithoutReport> EngineReports::DrivesWithoutReport() {
    long count = 0;
    ThrowIfFailed(reports_->GetProblemCount(&count));
    std::vector<DriveWithoutReport> drives;
    for (long i = 0; i < count; ++i) {
        unique_bstr drive, description;
        DriveWithoutReport entry;
        ThrowIfFailed(reports_->GetProblem(i, drive.put(), &entry.kind, description.put()));
        entry.drive = TextOf(drive);
        entry.description = TextOf(description);
        drives.push_back(std::move(entry));
    }
    return drives;
}

}  // namespace orvane
