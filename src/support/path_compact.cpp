#include "support/path_compact.h"

#include <vector>

namespace orvane {

namespace {

// Inserting the ellipsis may lengthen the text by up to this many characters.
constexpr std::size_t kEllipsisGrowth = 4;
constexpr UINT kCompactFormat = DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_MODIFYSTRING;

}  // namespace

std::wstring CompactPath(const std::wstring& sPath, long lWidth, HDC hDC) {
    std::vector<wchar_t> buffer(sPath.size() + kEllipsisGrowth + 1, L'\0');
    sPath.copy(buffer.data(), sPath.size());

    // A rectangle of zero height clips everything: the call only measures and
    // rewrites the buffer, it paints nothing.
    RECT bounds{0, 0, lWidth, 0};
    if (::DrawTextW(hDC, buffer.data(), -1, &bounds, kCompactFormat) == 0) return sPath;

    // The shortened text ends at its own terminator; whatever of the longer
    // input lies behind it is not part of the result.
    return std::wstring(buffer.data());
}

}  // namespace orvane
