// The program's client of the engine's second interface: the pages a run's
// reports can be opened at, and the drives that have no report. An engine
// without the interface (an older or a scripted one) has nothing of this to
// offer, and a run with it goes by the dual interface alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orvane/components.h"
#include "orvane/win32_handles.h"

namespace orvane {

struct DriveWithoutReport {
    std::wstring drive;  // "C:"
    long kind = 0;       // IAnalysisReports::Problem
    std::wstring description;
};

class EngineReports {
public:
    // The engine's second interface, when it has one.
    static std::optional<EngineReports> Of(IAnalysisEngine& engine);

    // Each raises the engine's failure as the program's error. An empty
    // path: there is no such page.
    std::wstring ReportPage();
    std::wstring IndexPage();
    std::vector<DriveWithoutReport> DrivesWithoutReport();

private:
    explicit EngineReports(com_ptr<IAnalysisReports> reports) : reports_(std::move(reports)) {}
    com_ptr<IAnalysisReports> reports_;
};

}  // namespace orvane
