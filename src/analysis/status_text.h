// The pieces of a progress tick that are plain text and arithmetic.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/currency.h"

namespace orvane {

// Splits at every separator; an empty text gives no fields at all.
std::vector<std::wstring> SplitFields(std::wstring_view text, wchar_t separator);

// The text without its last character; raises the invalid-call error (5)
// for an empty text.
std::wstring DropLastCharacter(const std::wstring& text);

// Every occurrence of word removed, matched without regard to case.
std::wstring RemoveWordIgnoringCase(std::wstring_view text, std::wstring_view word);

// round(part / whole x 100) with halves to even, held in 16 bits. A zero
// whole gives 0; a result outside 0..32767 is pinned to that range.
std::int16_t ProgressPercent(Currency part, Currency whole) noexcept;

// What a progress bar shows during a run: never more than 97.
inline float CappedBarValue(std::int16_t percent) noexcept {
    return percent > 97 ? 97.0f : static_cast<float>(percent);
}

}  // namespace orvane
