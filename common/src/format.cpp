// Kept apart from the callers so that every report and text agrees.
#include "orvane/format.h"

#include <cstdio>
#include <iterator>

namespace orvane {

std::string CommaGroupedDigits(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return out;
}

std::wstring CommaGroupedDigitsWide(std::uint64_t value) {
    const std::string narrow = CommaGroupedDigits(value);
    return std::wstring(narrow.begin(), narrow.end());  // digits and commas only
}

std::string SecondsText(std::chrono::nanoseconds duration) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
    if (ms < 0) ms = 0;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld.%03lld", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    return buffer;
}

std::string BinarySize(std::uint64_t bytes, const SizeUnitNames& names) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? names.byte : names.bytes);
    double value = static_cast<double>(bytes) / 1024.0;
    std::size_t unit = 0;
    while (value >= 1023.95 && unit + 1 < std::size(names.units)) {
        value /= 1024.0;
        unit++;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f %s", value, names.units[unit]);
    return buffer;
}

}  // namespace orvane
