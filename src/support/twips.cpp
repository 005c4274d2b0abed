#include "support/twips.h"

#include <windows.h>

#include <cmath>
#include <climits>

namespace orvane {

namespace {

constexpr long long kTwipsPerInch = 1440;
// A display driver that reports nothing still gets the common 96 dpi.
int UsableDpi(int dots_per_inch) noexcept { return dots_per_inch > 0 ? dots_per_inch : 96; }

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
        scale.dpi_x = UsableDpi(::GetDeviceCaps(screen, LOGPIXELSX));
        scale.dpi_y = UsableDpi(::GetDeviceCaps(screen, LOGPIXELSY));
        ::ReleaseDC(nullptr, screen);
    }
    return scale;
}

long TwipsToPixels(double twips, int dots_per_inch) noexcept {
    const long long dpi = UsableDpi(dots_per_inch);
    const long long rounded = RoundHalfEven(twips);
    // In half twips: (2 x twips x dpi +/- dpi) / 2880. Where 1440 / dpi is a
    // whole number k, the remainder of twips x dpi / 1440 is at most
    // 1440 - dpi, so the half twip never carries over to the next pixel.
    const long long half_twips = 2 * rounded * dpi + (rounded < 0 ? -dpi : rounded > 0 ? dpi : 0);
    return static_cast<long>(half_twips / (2 * kTwipsPerInch));
}

}  // namespace orvane
