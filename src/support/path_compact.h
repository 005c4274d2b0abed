// mPathCompact: shortens a path to a pixel width with a middle ellipsis.
#pragma once

#include <windows.h>

#include <string>

namespace orvane {

// The path as DrawText would display it in lWidth pixels in the font selected
// into hDC (DT_PATH_ELLIPSIS); unchanged when it fits or the call fails.
std::wstring CompactPath(const std::wstring& sPath, long lWidth, HDC hDC);

}  // namespace orvane
