// The colours the wizard picks itself, so that nothing it shows fades into
// its background in any system colour scheme. The banner is white with the
// artwork, but a high-contrast theme chooses the colours itself: then the
// banner takes the theme's window colour and window-text colour and the
// artwork stays away, so the texts are never drawn over white in a dark
// theme. Without high contrast a scheme may still make the window text too
// light for white; the texts then turn black. A drive that cannot be read is
// greyed only where the grey can be read, and a link drawn in the link
// colour only where that can be read.
#pragma once

#include <windows.h>

namespace orvane {

struct BannerColours {
    COLORREF face;
    COLORREF text;
    bool show_artwork;
};

BannerColours ChooseBannerColours(bool high_contrast, COLORREF window, COLORREF window_text);

// The text colour of an entry that is greyed out: the system's grey text,
// unless it would be hard to read on the entry's background.
COLORREF GreyedTextColour(COLORREF gray_text, COLORREF background, COLORREF normal_text);

// The colour of a link's text: the system's link colour, unless it would be
// hard to read on the page (Wine's default is a light grey).
COLORREF LinkTextColour(COLORREF hot_light, COLORREF background, COLORREF normal_text);

// The contrast ratio of two colours (1 to 21), as accessibility guidelines measure it.
double ContrastRatio(COLORREF a, COLORREF b);

// Whether the user has high contrast on (SPI_GETHIGHCONTRAST).
bool HighContrastOn() noexcept;

}  // namespace orvane
