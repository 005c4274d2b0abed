#include "analysis/status_text.h"

#include <cmath>
#include <cwctype>

#include "support/app_error.h"

namespace orvane {

std::vector<std::wstring> SplitFields(std::wstring_view text, wchar_t separator) {
    std::vector<std::wstring> fields;
    if (text.empty()) return fields;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        if (at == std::wstring_view::npos) {
            fields.emplace_back(text.substr(start));
            return fields;
        }
        fields.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::wstring DropLastCharacter(const std::wstring& text) {
    if (text.empty()) RaiseError(kErrInvalidCall);
    return text.substr(0, text.size() - 1);
}

std::wstring RemoveWordIgnoringCase(std::wstring_view text, std::wstring_view word) {
    if (word.empty()) return std::wstring(text);
    auto matches_at = [&](size_t at) {
        for (size_t i = 0; i < word.size(); ++i)
            if (std::towlower(text[at + i]) != std::towlower(word[i])) return false;
        return true;
    };
    std::wstring result;
    size_t i = 0;
    while (i < text.size()) {
        if (i + word.size() <= text.size() && matches_at(i)) {
            i += word.size();
        } else {
            result += text[i++];
        }
    }
    return result;
}

std::int16_t ProgressPercent(Currency part, Currency whole) noexcept {
    if (whole.scaled() == 0) return 0;
    const double percent = part.ToDouble() / whole.ToDouble() * 100.0;
    if (!(percent >= 0.0)) return 0;
    if (percent >= 32767.5) return 32767;
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<std::int16_t>(std::nearbyint(percent));
}

}  // namespace orvane
