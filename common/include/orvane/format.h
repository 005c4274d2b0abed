// Number and time texts shared by every front end: the command-line
// summary, the JSON report and the component's status line all print counts
// and durations the same way.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace orvane {

// 1234567 -> "1,234,567": groups of three, whatever the locale.
std::string GroupDigits(std::uint64_t value);
// The same in UTF-16, for Windows texts and as their locale's fallback.
std::wstring GroupDigitsWide(std::uint64_t value);
// Whole milliseconds as seconds: 1234.5 ms -> "1.234"; a negative
// duration is "0.000".
std::string SecondsText(std::chrono::nanoseconds duration);

}  // namespace orvane
