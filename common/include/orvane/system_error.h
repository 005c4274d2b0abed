// The system's own words for an error number, in UTF-8, so that a message
// says what went wrong rather than a bare code.
#pragma once

#include <string>

namespace orvane {

// errno on POSIX, a Win32 error code on Windows: "Permission denied",
// "Access is denied." (trailing full stop and line break dropped). An
// unknown number still reads as a sentence: "error 1234".
std::string SystemErrorText(int error);

}  // namespace orvane
