// What the engine's finished drives left behind for the caller to offer or
// explain: the page of the last drive's report, the reports index, and the
// drives that have no report with the reason why. The report writer fills it
// once a drive is finished; any thread may read it.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "orvane/components.h"

namespace orvane::engine::com {

struct DriveProblem {
    std::wstring drive;  // "C:"
    IAnalysisReports::Problem kind = IAnalysisReports::kReportNotSaved;
    std::wstring description;
};

class RunRecord {
public:
    // A drive is being finished: until it has a report, it offers none.
    void StartDrive();
    void ReportSaved(std::wstring page, std::wstring index);
    // The index exists even when the drive's own report does not.
    void IndexAvailable(std::wstring index);
    void AddProblem(DriveProblem problem);

    // The bodies of IAnalysisReports' methods; they never throw.
    HRESULT GetReportPage(BSTR* path) const noexcept;
    HRESULT GetIndexPage(BSTR* path) const noexcept;
    HRESULT GetProblemCount(long* count) const noexcept;
    HRESULT GetProblem(long index, BSTR* drive, long* kind, BSTR* description) const noexcept;

private:
    mutable std::mutex mutex_;
    std::wstring report_page_;
    std::wstring index_page_;
    std::vector<DriveProblem> problems_;
};

}  // namespace orvane::engine::com
