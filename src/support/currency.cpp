#include "support/currency.h"

#include <cstdint>
#include <string>

#include "support/app_error.h"

namespace orvane {

namespace {

// Portable overflow checks (no compiler builtins: the code must also build
// with MSVC).
bool AddOverflows(std::int64_t a, std::int64_t b) noexcept {
    return b > 0 ? a > INT64_MAX - b : a < INT64_MIN - b;
}

bool SubtractOverflows(std::int64_t a, std::int64_t b) noexcept {
    return b < 0 ? a > INT64_MAX + b : a < INT64_MIN + b;
}

bool MultiplyOverflows(std::int64_t a, std::int64_t b) noexcept {
    if (a == 0 || b == 0) return false;
    if (a > 0) return b > 0 ? a > INT64_MAX / b : b < INT64_MIN / a;
    return b > 0 ? a < INT64_MIN / b : a < INT64_MAX / b;
}

bool IsBlank(wchar_t c) noexcept { return c == L' ' || c == L'\t'; }
bool IsDigit(wchar_t c) noexcept { return c >= L'0' && c <= L'9'; }

[[noreturn]] void RaiseTypeMismatch() { RaiseError(kErrTypeMismatch); }

// A decimal number as its significant digits and the power of ten of the
// last one: value = digits x 10^exponent.
struct DecimalText {
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

// Scans the text; raises the type-mismatch error when it is not a number.
DecimalText ScanDecimal(std::wstring_view text, wchar_t decimal_separator,
                        wchar_t group_separator) {
    std::size_t i = 0;
    const std::size_t end = text.size();
    while (i < end && IsBlank(text[i])) ++i;

    DecimalText number;
    if (i < end && (text[i] == L'+' || text[i] == L'-')) {
        number.negative = text[i] == L'-';
        ++i;
    }

    bool any_digit = false;
    bool in_fraction = false;
    for (; i < end; ++i) {
        const wchar_t c = text[i];
        if (IsDigit(c)) {
            any_digit = true;
            if (!(number.digits.empty() && c == L'0'))
                number.digits.push_back(static_cast<char>(c));
            if (in_fraction) --number.exponent;
        } else if (c == decimal_separator && !in_fraction) {
            in_fraction = true;
        } else if (c == group_separator && group_separator != L'\0' && !in_fraction && any_digit) {
            // Grouping only inside the whole part, after its first digit.
        } else {
            break;
        }
    }
    if (!any_digit) RaiseTypeMismatch();

    if (i < end && (text[i] == L'e' || text[i] == L'E')) {
        ++i;
        bool negative_exponent = false;
        if (i < end && (text[i] == L'+' || text[i] == L'-')) {
            negative_exponent = text[i] == L'-';
            ++i;
        }
        if (i >= end || !IsDigit(text[i])) RaiseTypeMismatch();
        long long power = 0;
        for (; i < end && IsDigit(text[i]); ++i) {
            if (power < 100000) power = power * 10 + (text[i] - L'0');
        }
        number.exponent += negative_exponent ? -power : power;
    }

    while (i < end && IsBlank(text[i])) ++i;
    if (i != end) RaiseTypeMismatch();
    return number;
}

// The magnitude scaled by 10,000, rounded half to even; raises overflow when
// it exceeds the range of the given sign.
std::int64_t ScaledFromDecimal(const DecimalText& number) {
    const std::uint64_t limit = number.negative ? std::uint64_t{1} << 63 : INT64_MAX;
    if (number.digits.empty()) return 0;

    const long long shift = number.exponent + 4;  // power of ten of the last digit, scaled
    const long long keep = static_cast<long long>(number.digits.size()) + (shift < 0 ? shift : 0);

    std::uint64_t magnitude = 0;
    auto append = [&](int digit) {
        if (magnitude > (limit - static_cast<std::uint64_t>(digit)) / 10) RaiseError(kErrOverflow);
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(digit);
    };
    for (long long k = 0; k < keep; ++k) append(number.digits[static_cast<std::size_t>(k)] - '0');
    for (long long k = 0; k < shift; ++k) append(0);

    if (shift < 0 && keep >= 0) {
        // Digits beyond the fourth decimal decide the rounding.
        const std::string rest = number.digits.substr(static_cast<std::size_t>(keep));
        const bool above_half =
            rest[0] > '5' ||
            (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string::npos);
        const bool exactly_half = rest[0] == '5' && !above_half;
        if (above_half || (exactly_half && magnitude % 2 == 1)) {
            if (magnitude >= limit) RaiseError(kErrOverflow);
            ++magnitude;
        }
    } else if (shift < 0) {
        // Far below the smallest unit: rounds to zero.
        magnitude = 0;
    }

    if (number.negative)
        return magnitude == (std::uint64_t{1} << 63) ? INT64_MIN
                                                     : -static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(magnitude);
}

}  // namespace

Currency Currency::FromWhole(std::int64_t value) {
    if (MultiplyOverflows(value, kScale)) RaiseError(kErrOverflow);
    return Currency(value * kScale);
}

double Currency::ToDouble() const noexcept { return static_cast<double>(scaled_) / kScale; }

Currency Currency::operator+(Currency other) const {
    if (AddOverflows(scaled_, other.scaled_)) RaiseError(kErrOverflow);
    return Currency(scaled_ + other.scaled_);
}

Currency Currency::operator-(Currency other) const {
    if (SubtractOverflows(scaled_, other.scaled_)) RaiseError(kErrOverflow);
    return Currency(scaled_ - other.scaled_);
}

Currency& Currency::operator+=(Currency other) { return *this = *this + other; }

Currency& Currency::operator-=(Currency other) { return *this = *this - other; }

Currency Currency::MultiplyBy(std::int64_t n) const {
    if (MultiplyOverflows(scaled_, n)) RaiseError(kErrOverflow);
    return Currency(scaled_ * n);
}

Currency Currency::SaturatingMultiplyBy(std::int64_t n) const noexcept {
    if (!MultiplyOverflows(scaled_, n)) return Currency(scaled_ * n);
    return (scaled_ < 0) == (n < 0) ? Max() : Min();
}

Currency ParseCurrency(std::wstring_view text, wchar_t decimal_separator, wchar_t group_separator) {
    return Currency::FromScaled(
        ScaledFromDecimal(ScanDecimal(text, decimal_separator, group_separator)));
}

Currency Currency::SaturatingAdd(Currency other) const noexcept {
    if (AddOverflows(scaled_, other.scaled_)) return other.scaled_ > 0 ? Max() : Min();
    return Currency(scaled_ + other.scaled_);
}

}  // namespace orvane
