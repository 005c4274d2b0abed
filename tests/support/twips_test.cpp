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

TEST(TwipsTest, DividesRoundedTwipsTruncatingTowardZero) {
    EXPECT_EQ(TwipsToPixels(1000, 96), 66);    // 66.67 truncates
    EXPECT_EQ(TwipsToPixels(-100, 96), -6);    // toward zero, not -7
    EXPECT_EQ(TwipsToPixels(1006.5, 96), 67);  // 1006.5 rounds to 1006
    EXPECT_EQ(TwipsToPixels(1004.5, 96), 66);  // 1004.5 rounds to 1004
    EXPECT_EQ(TwipsToPixelsX(3000, TwipsScale{120, 72}), 250);
    EXPECT_EQ(TwipsToPixelsY(3000, TwipsScale{120, 72}), 150);
}

TEST(TwipsTest, WholeScalesKeepEveryPixelAndOtherScalesAreExact) {
    // 96, 120 and 144 dpi: exactly round(twips) \ (15, 12, 10), as always.
    for (const int dpi : {96, 120, 144})
        for (long twips = -3000; twips <= 9000; ++twips)
            ASSERT_EQ(TwipsToPixels(twips, dpi), twips / (1440 / dpi)) << dpi << " " << twips;
    // 192 dpi divides by 7.5, not by 8: the client area is 856 x 678.
    EXPECT_EQ(TwipsToPixels(6420, 192), 856);
    EXPECT_EQ(TwipsToPixels(5085, 192), 678);
    EXPECT_EQ(TwipsToPixels(6420, 168), 749);
    EXPECT_EQ(TwipsToPixels(6420, 216), 963);
    // A pixel held in twips comes back as the same pixel at every scale.
    for (const int dpi : {96, 120, 144, 168, 192, 216, 240})
        for (long px = -400; px <= 2000; ++px) {
            const TwipsScale scale{dpi, dpi};
            ASSERT_EQ(TwipsToPixelsX(PixelsToTwipsX(px, scale), scale), px) << dpi << " " << px;
        }
}

TEST(TwipsTest, ScreenScaleFollowsTheScreenResolution) {
    HDC screen = ::GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    const int dpi_x = ::GetDeviceCaps(screen, LOGPIXELSX);
    const int dpi_y = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    const TwipsScale scale = ScreenTwipsScale();
    EXPECT_EQ(scale.dpi_x, dpi_x);
    EXPECT_EQ(scale.dpi_y, dpi_y);
}

}  // namespace
}  // namespace orvane
