// The report's own names for the scanner's statuses and open errors: part
// of the format, so they never change with the words a message uses.
#pragma once

#include "core/directory_reader.h"
#include "core/scanner.h"

namespace orvane::engine {

// The report's "status": "completed", "cancelled", "root_unreadable",
// "out_of_memory", "no_worker_thread", "out_of_file_descriptors".
const char* StatusName(ScanStatus status);
// Short stable words for the report: "access_denied", "not_found",
// "not_directory", "other", "too_many_open_files".
const char* OpenErrorName(OpenError error);

}  // namespace orvane::engine
