// The texts the engine answers while it works: the status line the wizard
// splits at "|" and the plain byte count it parses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane::engine::com {

// A count with the digit grouping of the user's locale and no decimals:
// 1,234,567, 1.234.567, 12,34,567...
std::wstring LocaleGroupedDigits(std::uint64_t value);

// "C:\Data\Photos\|1,234 scanned". The folder loses its trailing backslashes
// and gets exactly one: the wizard drops the last character of this field,
// so it is never empty, and a drive root shows as "C:".
std::wstring FormatStatusText(std::wstring_view folder, std::uint64_t scanned);

// Plain decimal digits, no grouping: the wizard reads them as a number.
std::wstring FormatByteCount(std::uint64_t bytes);

}  // namespace orvane::engine::com
