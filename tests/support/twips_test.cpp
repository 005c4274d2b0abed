#include "support/twips.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(TwipsTest, RoundsHalvesToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-3.5), -4);
    EXPECT_EQ(RoundHalfEven(7.5), 8);
    EXPECT_EQ(RoundHalfEven(2.4999), 2);
    EXPECT_EQ(RoundHalfEven(2.5001), 3);
    EXPECT_EQ(RoundHalfEven(-0.4), 0);
}

TEST(TwipsTest, DividesRoundedOperandsTruncatingTowardZero) {
    EXPECT_EQ(TwipsToPixels(1000, 15), 66);    // 66.67 truncates
    EXPECT_EQ(TwipsToPixels(-100, 15), -6);    // toward zero, not -7
    EXPECT_EQ(TwipsToPixels(1006.5, 15), 67);  // 1006.5 rounds to 1006
    EXPECT_EQ(TwipsToPixels(1004.5, 15), 66);  // 1004.5 rounds to 1004
    // 192 dpi: 7.5 twips per pixel rounds to 8 before dividing.
    EXPECT_EQ(TwipsToPixels(80, 7.5), 10);
    EXPECT_EQ(TwipsToPixelsX(3000, TwipsScale{12, 20}), 250);
    EXPECT_EQ(TwipsToPixelsY(3000, TwipsScale{12, 20}), 150);
}

TEST(TwipsTest, ScreenScaleFollowsTheScreenResolution) {
    HDC screen = ::GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    const int dpi_x = ::GetDeviceCaps(screen, LOGPIXELSX);
    const int dpi_y = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    const TwipsScale scale = ScreenTwipsScale();
    EXPECT_DOUBLE_EQ(scale.per_pixel_x, 1440.0 / dpi_x);
    EXPECT_DOUBLE_EQ(scale.per_pixel_y, 1440.0 / dpi_y);
}

}  // namespace
}  // namespace orvane
