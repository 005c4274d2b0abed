#include "support/twips.h"

#include <windows.h>

#include <cmath>
#include <climits>

namespace orvane {

namespace {

constexpr double kTwipsPerInch = 1440.0;

double ScaleFromDpi(int dots_per_inch) noexcept {
    // A display driver that reports nothing still gets the common 96 dpi.
    return dots_per_inch > 0 ? kTwipsPerInch / dots_per_inch : 15.0;
}

}  // namespace

long RoundHalfEven(double value) noexcept {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(LONG_MAX)) return LONG_MAX;
    if (value <= static_cast<double>(LONG_MIN)) return LONG_MIN;
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5) {
        rounded = below + 1.0;
    } else if (fraction == 0.5) {
        rounded = std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
    }
    return static_cast<long>(rounded);
}

TwipsScale ScreenTwipsScale() noexcept {
    TwipsScale scale;
    if (HDC screen = ::GetDC(nullptr)) {
        scale.per_pixel_x = ScaleFromDpi(::GetDeviceCaps(screen, LOGPIXELSX));
        scale.per_pixel_y = ScaleFromDpi(::GetDeviceCaps(screen, LOGPIXELSY));
        ::ReleaseDC(nullptr, screen);
    }
    return scale;
}

long TwipsToPixels(double twips, double twips_per_pixel) noexcept {
    const long divisor = RoundHalfEven(twips_per_pixel);
    // Beyond 2880 dpi the rounded scale would be 0; one twip per pixel is the
    // closest meaningful answer and keeps the division defined.
    if (divisor <= 0) return RoundHalfEven(twips);
    return RoundHalfEven(twips) / divisor;
}

}  // namespace orvane
