// Text crossing an ANSI ("A") platform call: the system's ANSI code page, one
// byte per character where the code page has it.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view bytes);

}  // namespace orvane
