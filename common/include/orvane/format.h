// Number and time texts shared by every front end: the command-line
// summary, the JSON report and the component's status line all print counts
// and durations the same way.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace orvane {

// 1234567 -> "1,234,567": groups of three with commas, whatever the locale
// (the reports' own format; a text for the user follows the locale instead).
std::string CommaGroupedDigits(std::uint64_t value);
// The same in UTF-16, for Windows texts and as their locale's fallback.
std::wstring CommaGroupedDigitsWide(std::uint64_t value);
// Whole milliseconds as seconds: 1234.5 ms -> "1.234"; a negative
// duration is "0.000".
std::string SecondsText(std::chrono::nanoseconds duration);

// A size in units of 1,024 with one decimal, under the names a text uses:
// `units` names 1,024 bytes and each thousand-and-twenty-fourfold after it
// (six names), `bytes`/`byte` the plain count below 1,024. A value that
// would print as "1024.0" moves up a unit instead.
struct SizeUnitNames {
    const char* units[6];
    const char* bytes;
    const char* byte;
};
std::string BinarySize(std::uint64_t bytes, const SizeUnitNames& names);

}  // namespace orvane
