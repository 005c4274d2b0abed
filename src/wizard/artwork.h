// The wizard's artwork, drawn at run time: the 500 x 70 banner picture and
// the 16 x 16 window icon.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "orvane/win32_handles.h"

namespace orvane {

inline constexpr int kBannerWidth = 500;
inline constexpr int kBannerHeight = 70;

// The banner's pixels, top row first, as 0x00RRGGBB. Plain white up to a
// slanting edge (further left at the bottom), then the coloured artwork.
std::vector<std::uint32_t> BannerPixels();
// Column of the picture where the artwork starts on a given row.
int BannerArtworkStart(int row) noexcept;

unique_hbitmap CreateBannerBitmap();
unique_hicon CreateWizardIcon();

}  // namespace orvane
