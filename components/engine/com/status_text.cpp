#include "status_text.h"

#include <windows.h>

#include <string>

#include "orvane/format.h"

namespace orvane::engine::com {

namespace {

std::wstring LocaleText(LCTYPE what, const wchar_t* fallback) {
    wchar_t buffer[16];
    const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, what, buffer, 16);
    return length > 1 ? std::wstring(buffer, static_cast<std::size_t>(length - 1))
                      : std::wstring(fallback);
}

// LOCALE_SGROUPING ("3;0", "3;2;0", "3") in the form NUMBERFMTW wants (3,
// 32, 30): a trailing ";0" repeats the last group, no trailing zero means
// the remaining digits are not grouped further.
UINT GroupingOf(const std::wstring& text) {
    UINT grouping = 0;
    bool repeats = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c < L'0' || c > L'9') continue;
        if (c == L'0' && i + 1 == text.size()) {
            repeats = true;
            break;
        }
        grouping = grouping * 10 + static_cast<UINT>(c - L'0');
    }
    if (grouping == 0) return 3;
    return repeats ? grouping : grouping * 10;
}

}  // namespace

std::wstring LocaleGroupedDigits(std::uint64_t value) {
    const std::wstring digits = std::to_wstring(value);
    std::wstring thousand = LocaleText(LOCALE_STHOUSAND, L",");
    std::wstring decimal = LocaleText(LOCALE_SDECIMAL, L".");
    NUMBERFMTW format{};
    format.NumDigits = 0;
    format.LeadingZero = 0;
    format.Grouping = GroupingOf(LocaleText(LOCALE_SGROUPING, L"3;0"));
    format.lpDecimalSep = decimal.data();
    format.lpThousandSep = thousand.data();
    format.NegativeOrder = 1;
    wchar_t buffer[64];
    const int length =
        ::GetNumberFormatEx(LOCALE_NAME_USER_DEFAULT, 0, digits.c_str(), &format, buffer, 64);
    if (length <= 1) return CommaGroupedDigitsWide(value);
    return std::wstring(buffer, static_cast<std::size_t>(length - 1));
}

std::wstring FormatStatusText(std::wstring_view folder, std::uint64_t scanned) {
    std::wstring text(folder);
    while (!text.empty() && text.back() == L'\\') text.pop_back();
    text += L'\\';
    text += L'|';
    text += LocaleGroupedDigits(scanned);
    text += L" scanned";
    return text;
}

std::wstring FormatByteCount(std::uint64_t bytes) { return std::to_wstring(bytes); }

}  // namespace orvane::engine::com
