// Words for the scanner's statuses and open errors, shared by every front
// end's messages.
#pragma once

#include "core/directory_reader.h"
#include "core/scanner.h"

namespace orvane::engine {

// An open error in words, for messages: "permission denied", "not found",
// "not a folder", "cannot be opened".
const char* OpenErrorWords(OpenError error);
// What a person is told after the scanned path: nothing when it completed,
// "cancelled", "cannot be read".
const char* StatusWords(ScanStatus status);

}  // namespace orvane::engine
