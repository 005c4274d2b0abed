#include "support/path_compact.h"

#include <optional>
#include <vector>

namespace orvane {

namespace {

// Inserting the ellipsis may lengthen the text by up to this many characters.
constexpr std::size_t kEllipsisGrowth = 4;
constexpr UINT kCompactFormat = DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_MODIFYSTRING;
constexpr wchar_t kEllipsis[] = L"...";

// The text's width in the font selected into dc; nothing when it cannot be
// measured.
std::optional<long> WidthOf(HDC dc, const std::wstring& text) {
    SIZE size{};
    if (!::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size))
        return std::nullopt;
    return size.cx;
}

bool Fits(HDC dc, const std::wstring& text, long width) {
    const auto measured = WidthOf(dc, text);
    return measured && *measured <= width;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A cut at n characters that does not split a surrogate pair.
std::size_t WholeCharacters(const std::wstring& text, std::size_t n) {
    if (n > 0 && n < text.size() && IS_HIGH_SURROGATE(text[n - 1])) return n - 1;
    return n;
}

// The largest n in [0, limit] for which make(n) fits, assuming wider for
// larger n; -1 when not even make(0) fits.
template <class Make>
long LargestFitting(HDC dc, long width, std::size_t limit, Make make) {
    if (!Fits(dc, make(0), width)) return -1;
    std::size_t low = 0, high = limit;
    while (low < high) {
        const std::size_t mid = (low + high + 1) / 2;
        if (Fits(dc, make(mid), width)) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return static_cast<long>(low);
}

// The rule computed here: the start of the path, "...", and the whole last
// name; where even "...\" and the last name are too wide, the last name's
// start followed by "...". Never wider than width.
std::wstring CompactOurselves(const std::wstring& path, long width, HDC dc) {
    const std::size_t slash = path.find_last_of(L'\\');
    const std::wstring last = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::wstring head = slash == std::wstring::npos ? L"" : path.substr(0, slash);
    const std::wstring tail =
        std::wstring(kEllipsis) + (slash == std::wstring::npos ? L"" : L"\\") + last;

    auto keep_head = [&](std::size_t n) { return head.substr(0, WholeCharacters(head, n)) + tail; };
    if (const long n = LargestFitting(dc, width, head.size(), keep_head); n >= 0)
        return keep_head(static_cast<std::size_t>(n));

    const std::wstring lead = slash == std::wstring::npos ? L"" : std::wstring(kEllipsis) + L"\\";
    auto keep_last = [&](std::size_t n) {
        return lead + last.substr(0, WholeCharacters(last, n)) + kEllipsis;
    };
    if (const long n = LargestFitting(dc, width, last.size(), keep_last); n >= 0)
        return keep_last(static_cast<std::size_t>(n));
    // Narrower than the ellipsis itself: as much of it as fits.
    std::wstring dots = kEllipsis;
    while (!dots.empty() && !Fits(dc, dots, width)) dots.pop_back();
    return dots;
}

// Whether what the platform call made of the path keeps the promise: no
// wider than the width, shortened with "...", the last name whole.
bool KeepsTheRule(const std::wstring& path, const std::wstring& result, long width, HDC dc) {
    if (!Fits(dc, result, width)) return false;
    if (result.find(kEllipsis) == std::wstring::npos) return false;
    const std::size_t slash = path.find_last_of(L'\\');
    return EndsWith(result, slash == std::wstring::npos ? path : path.substr(slash));
}

}  // namespace

std::wstring CompactPath(const std::wstring& sPath, long lWidth, HDC hDC) {
    std::vector<wchar_t> buffer(sPath.size() + kEllipsisGrowth + 1, L'\0');
    sPath.copy(buffer.data(), sPath.size());

    // A rectangle of zero height clips everything: the call only measures and
    // rewrites the buffer, it paints nothing.
    RECT bounds{0, 0, lWidth, 0};
    if (::DrawTextW(hDC, buffer.data(), -1, &bounds, kCompactFormat) == 0) return sPath;
    if (Fits(hDC, sPath, lWidth)) return sPath;

    // The shortened text ends at its own terminator; whatever of the longer
    // input lies behind it is not part of the result.
    const std::wstring shortened(buffer.data());
    // The platform's answer may run past the width or cut the last name
    // (a very long last name, a path of hundreds of characters): then the
    // rule is computed here.
    if (KeepsTheRule(sPath, shortened, lWidth, hDC)) return shortened;
    return CompactOurselves(sPath, lWidth, hDC);
}

}  // namespace orvane
