// The report a person looks at: one self-contained HTML page per scan. It
// fetches nothing and runs no script (its content security policy forbids
// both, so a hostile file name can never become code), reads the same in
// any current browser and prints.
#pragma once

#include <string>

#include "core/report_addenda.h"
#include "core/scanner.h"

namespace orvane::engine::report {

struct HtmlOptions {
    // Whether earlier reports were looked for: says why there are no changes.
    bool looked_for_previous = false;
    // An earlier report that was found but could not be read, and why
    // (UTF-8): said instead of calling this the first report.
    std::string unreadable_previous;
    std::string unreadable_reason;
};

std::string ReportHtml(const ScanResult& result, const ReportAddenda& addenda,
                       const HtmlOptions& options = {});

}  // namespace orvane::engine::report
