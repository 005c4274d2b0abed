// The report page's sentence on how the scan was made, and with the file
// table the used bytes it explains outside the tree.
#pragma once

#include <string>

#include "report/report_addenda.h"

namespace orvane::engine::report {

std::string MethodSection(const ReportAddenda& addenda);

}  // namespace orvane::engine::report
