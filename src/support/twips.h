// Twips (1/1440 inch) and the screen's twips-per-pixel scale.
#pragma once

namespace orvane {

// Rounds to the nearest whole number, halves to the even neighbour.
long RoundHalfEven(double value) noexcept;

struct TwipsScale {
    double per_pixel_x = 15.0;  // 1440 / horizontal dots per inch
    double per_pixel_y = 15.0;  // 1440 / vertical dots per inch
};

// The scale of the screen the program runs on (1440 / LOGPIXELSX, LOGPIXELSY).
TwipsScale ScreenTwipsScale() noexcept;

// Pixels = round(twips) \ round(twips per pixel): both operands rounded half
// to even first, then integer division truncating toward zero.
long TwipsToPixels(double twips, double twips_per_pixel) noexcept;
inline long TwipsToPixelsX(double twips, const TwipsScale& s) noexcept {
    return TwipsToPixels(twips, s.per_pixel_x);
}
inline long TwipsToPixelsY(double twips, const TwipsScale& s) noexcept {
    return TwipsToPixels(twips, s.per_pixel_y);
}

}  // namespace orvane
