// The COM error information a failing call of the component leaves behind,
// so that a caller can show what went wrong in a plain sentence rather than
// a bare failure code.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace orvane::engine::com {

// Sets the calling thread's error information: the description, the
// interface it concerns and the component as its source.
void SetErrorDescription(const std::wstring& description, REFIID iid) noexcept;
// Clears it, so that a call that worked leaves no stale description.
void ClearErrorDescription() noexcept;

// UTF-8 text (the system's messages as the shared layer gives them) as UTF-16.
std::wstring WideFromUtf8(std::string_view text);

}  // namespace orvane::engine::com
