// Twips (1/1440 inch) and the screen's scale, 1440 / dots per inch, taken
// exactly: at 96, 120 and 144 dpi it is a whole number of twips per pixel
// (15, 12, 10); at 168, 192 or 216 dpi it is not, and rounding it first would
// lay out the window 5-7 % smaller than the fonts made for that resolution.
#pragma once

namespace orvane {

// Rounds to the nearest whole number, halves to the even neighbour.
long RoundHalfEven(double value) noexcept;

struct TwipsScale {
    int dpi_x = 96;  // horizontal dots per inch
    int dpi_y = 96;  // vertical dots per inch
    double PerPixelX() const noexcept { return 1440.0 / dpi_x; }
    double PerPixelY() const noexcept { return 1440.0 / dpi_y; }
};

// The scale of the screen the program runs on (LOGPIXELSX, LOGPIXELSY).
TwipsScale ScreenTwipsScale() noexcept;

// Pixels = round(twips) x dpi / 1440, truncated toward zero, with half a
// twip of tolerance: a pixel position held in twips (pixels x 1440 / dpi,
// rounded) converts back to the same pixel at every scale. Where the scale is
// a whole number of twips per pixel this is round(twips) \ (1440 / dpi)
// exactly, as it always was.
long TwipsToPixels(double twips, int dots_per_inch) noexcept;
inline long TwipsToPixelsX(double twips, const TwipsScale& s) noexcept {
    return TwipsToPixels(twips, s.dpi_x);
}
inline long TwipsToPixelsY(double twips, const TwipsScale& s) noexcept {
    return TwipsToPixels(twips, s.dpi_y);
}
// Pixels as twips at the exact scale (no rounding).
inline double PixelsToTwipsX(long pixels, const TwipsScale& s) noexcept {
    return pixels * s.PerPixelX();
}
inline double PixelsToTwipsY(long pixels, const TwipsScale& s) noexcept {
    return pixels * s.PerPixelY();
}

}  // namespace orvane
