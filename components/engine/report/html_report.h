// The report a person looks at: one self-contained HTML page per scan. It
// fetches nothing, reads completely without script, and prints. Its one
// inline script, allowed by hash and by nothing else in the content security
// policy, lets the reader open any kept folder; names reach it only as data,
// so a hostile file name can never become markup or code.
#pragma once

#include <string>

#include "report/report_addenda.h"
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
