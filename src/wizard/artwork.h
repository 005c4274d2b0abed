// The wizard's artwork, drawn at run time: the banner picture, designed at
// 500 x 70 pixels (7500 x 1050 twips at 96 dpi) and drawn at the pixel size
// of those twips at the screen's scale, and the 16 x 16 window icon.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "orvane/win32_handles.h"

namespace orvane {

inline constexpr int kBannerWidth = 500;
inline constexpr int kBannerHeight = 70;

inline constexpr double kBannerWidthTwips = 7500;
inline constexpr double kBannerHeightTwips = 1050;

// The banner's pixels at a size, top row first, as 0x00RRGGBB. Plain white up
// to a slanting edge (further left at the bottom), then the coloured artwork.
std::vector<std::uint32_t> BannerPixels(int width = kBannerWidth, int height = kBannerHeight);
// Column of the design where the artwork starts on a given row.
int BannerArtworkStart(int row) noexcept;

unique_hbitmap CreateBannerBitmap(SIZE size);
unique_hicon CreateWizardIcon();

}  // namespace orvane
