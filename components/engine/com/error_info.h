// The COM error information the component leaves behind, and the text
// conversion its sentences need.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace orvane::engine::com {

// Clears the calling thread's error information, so that a caller that asks
// after a failure never reads a stale description.
void ClearErrorDescription() noexcept;

// UTF-8 text (the system's messages as the shared layer gives them) as UTF-16.
std::wstring WideFromUtf8(std::string_view text);

}  // namespace orvane::engine::com
