#include "wizard/colour_choice.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr COLORREF kBannerWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
// The ratio below which text is hard to read for many people.
constexpr double kLegibleRatio = 4.5;

double Linear(BYTE channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(COLORREF colour) {
    return 0.2126 * Linear(GetRValue(colour)) + 0.7152 * Linear(GetGValue(colour)) +
           0.0722 * Linear(GetBValue(colour));
}

}  // namespace

double ContrastRatio(COLORREF a, COLORREF b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

BannerColours ChooseBannerColours(bool high_contrast, COLORREF window, COLORREF window_text) {
    if (high_contrast) return {window, window_text, false};
    const COLORREF text =
        ContrastRatio(window_text, kBannerWhite) >= kLegibleRatio ? window_text : kBlack;
    return {kBannerWhite, text, true};
}

COLORREF GreyedTextColour(COLORREF gray_text, COLORREF background, COLORREF normal_text) {
    // Grey is meant to be dimmer than text: a lower bar than for text itself.
    constexpr double kReadableGrey = 3.0;
    return ContrastRatio(gray_text, background) >= kReadableGrey ? gray_text : normal_text;
}

COLORREF LinkTextColour(COLORREF hot_light, COLORREF background, COLORREF normal_text) {
    // A link is text, and must read as well; the underline still marks it.
    constexpr double kReadableText = 4.5;
    return ContrastRatio(hot_light, background) >= kReadableText ? hot_light : normal_text;
}

bool HighContrastOn() noexcept {
    HIGHCONTRASTW settings{};
    settings.cbSize = sizeof(settings);
    if (!::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(settings), &settings, 0)) return false;
    return (settings.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

}  // namespace orvane
