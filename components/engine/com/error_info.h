// The COM error information the component leaves behind.
#pragma once

#include <windows.h>

namespace orvane::engine::com {

// Clears the calling thread's error information, so that a caller that asks
// after a failure never reads a stale description.
void ClearErrorDescription() noexcept;

}  // namespace orvane::engine::com
