// Currency: a signed 64-bit fixed-point number with four decimal places,
// stored as value x 10,000. Every byte count of the program is one.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvane {

class Currency {
public:
    static constexpr std::int64_t kScale = 10000;

    constexpr Currency() noexcept = default;
    // The stored integer, bit for bit (value = scaled / 10,000).
    static constexpr Currency FromScaled(std::int64_t scaled) noexcept { return Currency(scaled); }
    // A whole value; raises the overflow error (6) outside the range.
    static Currency FromWhole(std::int64_t value);
    static constexpr Currency Max() noexcept { return Currency(INT64_MAX); }
    static constexpr Currency Min() noexcept { return Currency(INT64_MIN); }

    constexpr std::int64_t scaled() const noexcept { return scaled_; }
    double ToDouble() const noexcept;

    // Checked arithmetic: overflow raises error 6 and leaves the operands alone.
    Currency operator+(Currency other) const;
    Currency operator-(Currency other) const;
    Currency& operator+=(Currency other);
    Currency& operator-=(Currency other);
    // The sum, with a result beyond the range pinned to Max()/Min().
    Currency SaturatingAdd(Currency other) const noexcept;
    // Multiplication by a whole number (scaled x n).
    Currency MultiplyBy(std::int64_t n) const;
    // The same, with a result beyond the range pinned to Max()/Min().
    Currency SaturatingMultiplyBy(std::int64_t n) const noexcept;

    friend constexpr bool operator==(Currency a, Currency b) noexcept {
        return a.scaled_ == b.scaled_;
    }
    friend constexpr auto operator<=>(Currency a, Currency b) noexcept {
        return a.scaled_ <=> b.scaled_;
    }

private:
    constexpr explicit Currency(std::int64_t scaled) noexcept : scaled_(scaled) {}
    std::int64_t scaled_ = 0;
};

// Reads decimal number text into a Currency, the way a numeric conversion
// does: leading/trailing blanks allowed, an optional sign, grouping separators
// and one decimal separator as given; more than four decimals round half to
// even. Raises the type-mismatch error (13) for text that is not a number and
// the overflow error (6) beyond the range.
Currency ParseCurrency(std::wstring_view text, wchar_t decimal_separator, wchar_t group_separator);

}  // namespace orvane
