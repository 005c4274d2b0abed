// Names for the scanner's statuses and open errors, shared by the report and
// every front end.
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
// The same in words, for messages: "permission denied", "not found", "not
// a folder", "cannot be opened".
const char* OpenErrorWords(OpenError error);
// What a person is told after the scanned path: nothing when it completed,
// "cancelled", "cannot be read".
const char* StatusWords(ScanStatus status);

}  // namespace orvane::engine
