// The wizard in other system colour schemes: the banner's texts must stay
// readable whatever the scheme, and high contrast gives the banner the
// theme's own colours.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>

#include "inproc_support.h"
#include "wizard/colour_choice.h"
#include "wizard/frmWizard.h"

namespace orvane {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

TEST(BannerColourChoice, HighContrastTakesTheThemesColoursAndDropsTheArtwork) {
    const BannerColours dark = ChooseBannerColours(true, kBlack, RGB(255, 255, 0));
    EXPECT_EQ(dark.face, kBlack);
    EXPECT_EQ(dark.text, RGB(255, 255, 0));
    EXPECT_FALSE(dark.show_artwork);
    const BannerColours light = ChooseBannerColours(true, kWhite, kBlack);
    EXPECT_EQ(light.face, kWhite);
    EXPECT_FALSE(light.show_artwork);
}

TEST(BannerColourChoice, OtherwiseWhiteWithTheWindowTextUnlessItWouldFade) {
    const BannerColours standard = ChooseBannerColours(false, kWhite, kBlack);
    EXPECT_EQ(standard.face, kWhite);
    EXPECT_EQ(standard.text, kBlack);
    EXPECT_TRUE(standard.show_artwork);
    EXPECT_EQ(ChooseBannerColours(false, kWhite, RGB(0, 0, 128)).text, RGB(0, 0, 128));
    // A dark scheme without high contrast: its white text would vanish.
    EXPECT_EQ(ChooseBannerColours(false, kBlack, kWhite).text, kBlack);
    EXPECT_EQ(ChooseBannerColours(false, kBlack, RGB(200, 200, 200)).text, kBlack);
}

TEST(BannerColourChoice, GreyStaysWhereItCanBeReadAndGivesWayWhereNot) {
    const COLORREF grey = RGB(109, 109, 109);
    EXPECT_EQ(GreyedTextColour(grey, kWhite, kBlack), grey);
    // A scheme whose grey is its window colour, or nearly so.
    EXPECT_EQ(GreyedTextColour(kWhite, kWhite, kBlack), kBlack);
    EXPECT_EQ(GreyedTextColour(RGB(63, 63, 63), kBlack, kWhite), kWhite);
    EXPECT_EQ(GreyedTextColour(RGB(63, 242, 63), kBlack, kWhite), RGB(63, 242, 63));
}

TEST(BannerColourChoice, TheLinkColourStaysWhereItReadsAsTextAndGivesWayWhereNot) {
    const COLORREF face = RGB(240, 240, 240);
    EXPECT_EQ(LinkTextColour(RGB(0, 102, 204), face, kBlack), RGB(0, 102, 204));
    // Wine's default link colour on its default face.
    EXPECT_EQ(LinkTextColour(RGB(224, 224, 224), face, kBlack), kBlack);
    EXPECT_EQ(LinkTextColour(RGB(0, 0, 200), kBlack, kWhite), kWhite);
}

TEST(BannerColourChoice, ContrastRatioRunsFromOneToTwentyOne) {
    EXPECT_NEAR(ContrastRatio(kBlack, kWhite), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(RGB(90, 90, 90), RGB(90, 90, 90)), 1.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(RGB(119, 119, 119), kWhite), 4.48, 0.01);
}

// A dark scheme switched on while the wizard is up, as the user would from
// the control panel: SetSysColors sends WM_SYSCOLORCHANGE to every window.
class DarkScheme : public ::testing::Test {
protected:
    static constexpr std::array<int, 6> kElements = {COLOR_WINDOW,   COLOR_WINDOWTEXT,
                                                     COLOR_BTNFACE,  COLOR_BTNTEXT,
                                                     COLOR_GRAYTEXT, COLOR_HIGHLIGHT};
    void SetUp() override {
        for (size_t i = 0; i < kElements.size(); ++i) saved_[i] = ::GetSysColor(kElements[i]);
        form.Load();
        form.StopProgressTimer();
        form.Show();
    }
    void TearDown() override {
        ::SetSysColors(static_cast<int>(kElements.size()), kElements.data(), saved_.data());
        SetHighContrast(false);
        form.Unload();
    }
    void SwitchToDark() {
        const std::array<COLORREF, 6> dark = {kBlack, kWhite,           kBlack,
                                              kWhite, RGB(63, 242, 63), RGB(26, 235, 255)};
        ASSERT_TRUE(
            ::SetSysColors(static_cast<int>(kElements.size()), kElements.data(), dark.data()));
        testing::PumpFor(100);
    }
    // Whether the platform took the high-contrast flag.
    static bool SetHighContrast(bool on) {
        HIGHCONTRASTW settings{};
        settings.cbSize = sizeof(settings);
        settings.dwFlags = on ? HCF_HIGHCONTRASTON : 0;
        if (!::SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(settings), &settings,
                                     SPIF_SENDCHANGE))
            return false;
        return HighContrastOn() == on;
    }
    // The colour the banner's labels are drawn in, as the window tells them.
    COLORREF LabelTextColour() {
        unique_window_dc dc(form.lblTitle.hWnd());
        ::SendMessageW(form.frmTop.hWnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()),
                       reinterpret_cast<LPARAM>(form.lblTitle.hWnd()));
        return ::GetTextColor(dc.get());
    }

    std::array<COLORREF, 6> saved_{};
    frmWizard form;
};

TEST_F(DarkScheme, BannerTextsStayReadableAndHighContrastTakesTheThemesColours) {
    SwitchToDark();
    // The rest of the window follows the scheme at once.
    EXPECT_EQ(form.frmBar.Background(), kBlack);
    EXPECT_EQ(static_cast<COLORREF>(ListView_GetBkColor(form.lvwDrives.hWnd())), kBlack);
    EXPECT_EQ(static_cast<COLORREF>(ListView_GetTextColor(form.lvwDrives.hWnd())), kWhite);

    if (!SetHighContrast(true)) {
        // Wine keeps no high-contrast flag (SPI_SETHIGHCONTRAST fails and the
        // flag reads off), so here only the scheme without the flag can be
        // seen: the banner stays white and its white window text turns black.
        EXPECT_FALSE(HighContrastOn());
        EXPECT_EQ(form.frmTop.Background(), kWhite);
        EXPECT_EQ(LabelTextColour(), kBlack);
        return;
    }
    testing::PumpFor(100);
    EXPECT_EQ(form.frmTop.Background(), kBlack);
    EXPECT_EQ(LabelTextColour(), kWhite);
    SetHighContrast(false);
    testing::PumpFor(100);
    EXPECT_EQ(form.frmTop.Background(), kWhite);
    EXPECT_EQ(LabelTextColour(), kBlack);
}

}  // namespace
}  // namespace orvane
