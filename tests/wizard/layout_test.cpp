// The wizard window as created: geometry at the screen's scale (the suite
// also runs in prefixes at 144 and 192 dpi), stacking, focus order, the
// frame rules and the banner, against real Win32 windows under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "inproc_support.h"
#include "wizard/artwork.h"
#include "wizard/frmWizard.h"

namespace orvane {
namespace {

RECT ClientRectOf(const frmWizard& form, HWND control) {
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<int> ChildIdsFrontToBack(HWND parent) {
    std::vector<int> ids;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ids.push_back(::GetDlgCtrlID(child));
    return ids;
}

class WizardLayout : public ::testing::Test {
public:
    void SetUp() override {
        form.Load();
        form.StopProgressTimer();  // as start-up does
    }
    using Scaled = std::function<long(long)>;
    // Twips to pixels at the exact scale, truncating toward zero.
    long Px(long twips) const {
        return static_cast<long>(static_cast<long long>(twips) * dpi / 1440);
    }
    const int dpi = ScreenTwipsScale().dpi_x;
    frmWizard form;
};

TEST_F(WizardLayout, ControlsLieWhereTheClientAreaTableSays) {
    struct Row {
        const char* name;
        HWND hwnd;
        int left, top, right, bottom;  // twips, client coordinates
    };
    const Row rows[] = {
        {"cmdCancel", form.cmdCancel.hWnd(), 3840, 4500, 4935, 4850},
        {"cmdNext", form.cmdNext.hWnd(), 5040, 4500, 6135, 4850},
        {"frmTop", form.frmTop.hWnd(), -90, -120, 8685, 855},
        {"lblTitle", form.lblTitle.hWnd(), 180, 195, 3075, 450},
        {"lblDesc", form.lblDesc.hWnd(), 300, 435, 4275, 690},
        {"frmBar", form.frmBar.hWnd(), -120, 4200, 7215, 6015},
        {"frmDrives", form.frmDrives.hWnd(), -120, 480, 6600, 4980},
        {"txtLoading", form.txtLoading.hWnd(), 240, 960, 6180, 4125},
        {"lvwDrives", form.lvwDrives.hWnd(), 240, 960, 6180, 4125},
        {"frmProgress", form.frmProgress.hWnd(), -120, 480, 6855, 4980},
        {"Label3", form.Label3.hWnd(), 195, 1320, 1020, 1530},
        {"lblFolderName", form.lblFolderName.hWnd(), 195, 1560, 6135, 1755},
        {"lblDiskProgStatus", form.lblDiskProgStatus.hWnd(), 195, 2130, 3570, 2385},
        {"lblFileFldCount", form.lblFileFldCount.hWnd(), 3480, 2130, 6135, 2385},
        {"pbDiskProgress", form.pbDiskProgress.hWnd(), 195, 2400, 6135, 2655},
        {"lblDiskCount", form.lblDiskCount.hWnd(), 3480, 2970, 6135, 3225},
        {"lblOverallProgress", form.lblOverallProgress.hWnd(), 195, 2985, 3450, 3195},
        {"pbOverallProgress", form.pbOverallProgress.hWnd(), 195, 3240, 6135, 3495},
        {"chkCloseWhenDone", form.chkCloseWhenDone.hWnd(), 195, 3825, 4845, 4080},
        {"lnkViewReport", form.lnkViewReport.hWnd(), 195, 3570, 6135, 3780},
        {"txtRunProblems", form.txtRunProblems.hWnd(), 195, 1320, 6135, 2100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const RECT r = ClientRectOf(form, row.hwnd);
        // Each edge and size is converted on its own at the exact scale
        // (dividing by 15 at 96 dpi, by 7.5 at 192) and truncated.
        EXPECT_EQ(r.left, Px(row.left));
        EXPECT_EQ(r.top, Px(row.top));
        EXPECT_EQ(r.right - r.left, Px(row.right - row.left));
        EXPECT_EQ(r.bottom - r.top, Px(row.bottom - row.top));
    }
    RECT client;
    ::GetClientRect(form.hwnd(), &client);
    if (dpi == 96) {
        const RECT next = ClientRectOf(form, form.cmdNext.hWnd());
        EXPECT_EQ(next.left, 336);
        EXPECT_EQ(next.top, 300);
        EXPECT_EQ(next.right, 409);
        EXPECT_EQ(next.bottom, 323);
        EXPECT_EQ(client.right, 428);
        EXPECT_EQ(client.bottom, 339);
    } else if (dpi == 144) {
        EXPECT_EQ(client.right, 642);
        EXPECT_EQ(client.bottom, 508);
    } else if (dpi == 192) {
        EXPECT_EQ(client.right, 856);
        EXPECT_EQ(client.bottom, 678);
    }
    EXPECT_EQ(client.right, Px(6420));
    EXPECT_EQ(client.bottom, Px(5085));
}

TEST_F(WizardLayout, WindowIsAFixedWizardWithItsOwnTaskbarButton) {
    const LONG_PTR style = ::GetWindowLongPtrW(form.hwnd(), GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(::GetWindowLongPtrW(form.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    wchar_t caption[64] = {};
    ::GetWindowTextW(form.hwnd(), caption, 64);
    EXPECT_STREQ(caption, L"Orvane Analyzer");
    // Neither button is the default button.
    EXPECT_EQ(::GetWindowLongPtrW(form.cmdNext.hWnd(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_EQ(::GetWindowLongPtrW(form.cmdCancel.hWnd(), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_TRUE(::SendMessageW(form.hwnd(), WM_GETICON, ICON_SMALL, 0));
}

TEST_F(WizardLayout, StackingAfterLoadKeepsBannerAndButtonRowOverTheDrivePage) {
    EXPECT_EQ(ChildIdsFrontToBack(form.hwnd()),
              (std::vector<int>{ids::cmdNext, ids::cmdCancel, ids::frmBar, ids::frmTop,
                                ids::frmDrives, ids::frmProgress}));
    EXPECT_TRUE(::IsWindowVisible(form.frmDrives.hWnd()) || !::IsWindowVisible(form.hwnd()));
    EXPECT_TRUE(form.frmDrives.Visible());
    EXPECT_FALSE(form.frmProgress.Visible());
    EXPECT_FALSE(::GetWindowLongPtrW(form.frmProgress.hWnd(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(ChildIdsFrontToBack(form.frmDrives.hWnd()),
              (std::vector<int>{ids::txtLoading, ids::lvwDrives}));
    EXPECT_EQ(ChildIdsFrontToBack(form.frmTop.hWnd()),
              (std::vector<int>{ids::lblTitle, ids::lblDesc}));
    EXPECT_EQ(ChildIdsFrontToBack(form.frmProgress.hWnd()),
              (std::vector<int>{ids::lnkViewReport, ids::txtRunProblems, ids::chkCloseWhenDone,
                                ids::pbOverallProgress, ids::pbDiskProgress, ids::lblDiskCount,
                                ids::lblOverallProgress, ids::lblDiskProgStatus,
                                ids::lblFileFldCount, ids::lblFolderName, ids::Label3}));
    // Frames clip their children and each other.
    EXPECT_TRUE(::GetWindowLongPtrW(form.frmDrives.hWnd(), GWL_STYLE) & WS_CLIPCHILDREN);
    EXPECT_TRUE(::GetWindowLongPtrW(form.frmDrives.hWnd(), GWL_STYLE) & WS_CLIPSIBLINGS);
}

TEST_F(WizardLayout, InitialStateOfTheControls) {
    EXPECT_FALSE(::IsWindowEnabled(form.txtLoading.hWnd()));
    EXPECT_TRUE(::IsWindowEnabled(form.cmdNext.hWnd()));
    EXPECT_EQ(form.chkCloseWhenDone.Value(), 0);
    EXPECT_EQ(::SendMessageW(form.pbDiskProgress.hWnd(), PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(::SendMessageW(form.pbDiskProgress.hWnd(), PBM_GETPOS, 0, 0), 0);
    {
        frmWizard created;
        created.Load();
        EXPECT_EQ(created.tmrProgress.Interval(), 200u);
        EXPECT_TRUE(created.tmrProgress.Enabled());
        EXPECT_TRUE(created.tmrProgress.Ticking());
        created.StopProgressTimer();
        EXPECT_FALSE(created.tmrProgress.Ticking());
    }
    EXPECT_EQ(::SendMessageW(form.lvwDrives.hWnd(), LVM_GETCOLUMNWIDTH, 0, 0), Px(1440));
    EXPECT_EQ(form.lvwDrives.Count(), 0);
    // Right-aligned counters; labels show "&" as it is.
    EXPECT_TRUE(::GetWindowLongPtrW(form.lblDiskCount.hWnd(), GWL_STYLE) & SS_RIGHT);
    EXPECT_TRUE(::GetWindowLongPtrW(form.lblFileFldCount.hWnd(), GWL_STYLE) & SS_RIGHT);
    EXPECT_TRUE(::GetWindowLongPtrW(form.lblDesc.hWnd(), GWL_STYLE) & SS_NOPREFIX);
    wchar_t text[80] = {};
    ::GetWindowTextW(form.lblDiskProgStatus.hWnd(), text, 80);
    EXPECT_STREQ(text, L"Analyzing drive ");
    // The list must never destroy the shell's image list it borrows.
    EXPECT_TRUE(::GetWindowLongPtrW(form.lvwDrives.hWnd(), GWL_STYLE) & LVS_SHAREIMAGELISTS);
}

TEST_F(WizardLayout, TabVisitsControlsInTabIndexOrderSkippingHiddenAndDisabled) {
    form.Show();
    form.SetFocus();
    testing::PumpFor(50);
    EXPECT_EQ(::GetFocus(), form.cmdCancel.hWnd());
    auto tab = [&] {
        ::SendMessageW(::GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        return ::GetFocus();
    };
    EXPECT_EQ(tab(), form.cmdNext.hWnd());
    EXPECT_EQ(tab(), form.lvwDrives.hWnd());
    // txtLoading is disabled and the check box sits on the hidden page.
    EXPECT_EQ(tab(), form.cmdCancel.hWnd());

    form.ShowPage(form.frmProgress, form.frmDrives);
    ::SetFocus(form.cmdNext.hWnd());
    EXPECT_EQ(tab(), form.chkCloseWhenDone.hWnd());

    // The finished page's note and link, once shown, come first, as they
    // stand on the page.
    form.txtRunProblems.SetVisible(true);
    form.lnkViewReport.SetVisible(true);
    ::SetFocus(form.cmdNext.hWnd());
    EXPECT_EQ(tab(), form.txtRunProblems.hWnd());
    EXPECT_EQ(tab(), form.lnkViewReport.hWnd());
    EXPECT_EQ(tab(), form.chkCloseWhenDone.hWnd());
}

TEST_F(WizardLayout, EnterAndEscapeInTheListClickNothing) {
    form.Show();
    ::SetFocus(form.lvwDrives.hWnd());
    testing::BoxAnswerer answerer({IDNO});
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        ::SendMessageW(form.lvwDrives.hWnd(), WM_KEYDOWN, key, 0);
        ::SendMessageW(form.lvwDrives.hWnd(), WM_CHAR, key == VK_RETURN ? L'\r' : 0x1B, 0);
    }
    // What a dialog manager would send for them.
    ::SendMessageW(form.hwnd(), WM_COMMAND, IDOK, 0);
    ::SendMessageW(form.hwnd(), WM_COMMAND, IDCANCEL, 0);
    testing::PumpFor(100);
    EXPECT_TRUE(answerer.Boxes().empty());
    EXPECT_TRUE(form.IsLoaded());
}

// The banner picture as the window shows it: drawn at the pixel size of its
// 7500 x 1050 twips, its top-left corner 645 and 225 twips outside the client
// area. Compares what the screen shows in a client rectangle with it.
class BannerOnScreen {
public:
    BannerOnScreen(WizardLayout::Scaled px, HWND window)
        : width_(px(7500)),
          origin_x_(px(-90) + px(-555)),
          origin_y_(px(-120) + px(-105)),
          pixels_(BannerPixels(px(7500), px(1050))),
          dc_(window) {}
    // How many of the points seen match the picture; -1 when the screen
    // cannot be read back here.
    int Matching(const std::vector<POINT>& points, int* compared) const {
        int matching = 0;
        *compared = 0;
        for (const POINT& p : points) {
            const COLORREF seen = ::GetPixel(dc_.get(), p.x, p.y);
            if (seen == CLR_INVALID) continue;
            const std::uint32_t want = At(p.x, p.y);
            ++*compared;
            if (GetRValue(seen) == ((want >> 16) & 0xFF) &&
                GetGValue(seen) == ((want >> 8) & 0xFF) && GetBValue(seen) == (want & 0xFF))
                ++matching;
        }
        return matching;
    }
    std::uint32_t At(long x, long y) const {
        return pixels_[static_cast<size_t>((y - origin_y_) * width_ + (x - origin_x_))];
    }

private:
    long width_, origin_x_, origin_y_;
    std::vector<std::uint32_t> pixels_;
    unique_window_dc dc_;
};

TEST_F(WizardLayout, BannerTextsDrawNoBackgroundOverTheArtwork) {
    form.Show();
    ::UpdateWindow(form.hwnd());
    testing::PumpFor(100);
    const BannerOnScreen banner([this](long t) { return Px(t); }, form.hwnd());
    // The bottom rows of lblDesc hold no text; where the label reaches into
    // the artwork the picture must show through them.
    std::vector<POINT> points;
    for (long x = Px(3600); x < Px(4260); ++x) points.push_back({x, Px(660)});
    int compared = 0;
    const int matching = banner.Matching(points, &compared);
    if (compared == 0) GTEST_SKIP() << "the screen cannot be read back here";
    EXPECT_EQ(matching, compared);
    // The end of the description lies over the artwork at every scale.
    EXPECT_NE(banner.At(Px(4260), Px(660)), 0xFFFFFFu);
}

TEST_F(WizardLayout, BannerTextsKeepTheirOneLineGeometry) {
    for (const Label* label : {&form.lblTitle, &form.lblDesc}) {
        const RECT r = label->PixelRect();
        EXPECT_EQ(r.bottom - r.top, Px(255));
        // The text's width in the label's own font.
        unique_window_dc dc(label->hWnd());
        const HFONT font =
            reinterpret_cast<HFONT>(::SendMessageW(label->hWnd(), WM_GETFONT, 0, 0));
        scoped_select select(dc.get(), font);
        SIZE text{};
        const std::wstring& caption = label->Caption();
        ::GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &text);
        if (text.cx <= r.right - r.left) continue;
        // Under Wine "MS Sans Serif" is a bitmap font at 96 dpi and a wider
        // scalable substitute at other scales: the text may then need more
        // than the designed width. The label keeps its geometry (and wraps,
        // as the design's label does) rather than the layout bending to Wine.
        EXPECT_NE(dpi, 96) << "the text no longer fits at 96 dpi";
        std::printf("note: at %d dpi the substitute font needs %ld px for a %ld px label\n", dpi,
                    text.cx, r.right - r.left);
    }
}

TEST_F(WizardLayout, BannerArtworkReachesTheRightEdgeUnscaled) {
    form.Show();
    ::UpdateWindow(form.hwnd());
    testing::PumpFor(100);
    RECT client;
    ::GetClientRect(form.hwnd(), &client);
    // The picture runs past the right edge: the window crops it there.
    EXPECT_GT(Px(-90) + Px(-555) + Px(7500), client.right);
    const BannerOnScreen banner([this](long t) { return Px(t); }, form.hwnd());
    std::vector<POINT> points;
    for (long y = 0; y < Px(-120) + Px(-105) + Px(1050); ++y) {
        points.push_back({client.right - 1, y});
        EXPECT_NE(banner.At(client.right - 1, y), 0xFFFFFFu) << "row " << y;
    }
    int compared = 0;
    const int matching = banner.Matching(points, &compared);
    if (compared == 0) GTEST_SKIP() << "the screen cannot be read back here";
    EXPECT_EQ(matching, compared);
}

TEST(WizardArtwork, EveryScaleDrawsTheSameDesign) {
    // Twice the size follows the design: nearly every pixel close in colour
    // to the design's pixel it covers (edges and tracks move by a fraction).
    const auto design = BannerPixels();
    const auto doubled = BannerPixels(2 * kBannerWidth, 2 * kBannerHeight);
    auto close = [](std::uint32_t a, std::uint32_t b) {
        for (int shift : {16, 8, 0})
            if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 24) return false;
        return true;
    };
    int similar = 0, total = 0;
    for (int y = 0; y < kBannerHeight; ++y)
        for (int x = 0; x < kBannerWidth; ++x, ++total)
            if (close(design[static_cast<size_t>(y * kBannerWidth + x)],
                      doubled[static_cast<size_t>((2 * y + 1) * 2 * kBannerWidth + 2 * x + 1)]))
                ++similar;
    EXPECT_GT(similar, total * 95 / 100);
}

TEST(WizardArtwork, BannerIsWhiteAtTheLeftAndSlantsIntoTheArtwork) {
    const auto pixels = BannerPixels();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kBannerWidth * kBannerHeight));
    for (int row = 15; row < kBannerHeight; ++row) {
        const int start = BannerArtworkStart(row);
        // In client coordinates (the window shows the picture from column 43).
        EXPECT_GE(start - 43, 173);
        EXPECT_LE(start - 43, 218);
        EXPECT_EQ(pixels[static_cast<size_t>(row * kBannerWidth + start - 1)], 0xFFFFFFu);
        EXPECT_NE(pixels[static_cast<size_t>(row * kBannerWidth + start + 5)], 0xFFFFFFu);
    }
    EXPECT_LT(BannerArtworkStart(69), BannerArtworkStart(15));  // further left at the bottom
}

// Run in the prefixes prepared at other scales: the screen really has the
// scale the suite is there for.
TEST(ScaledScreen, HasTheScaleThePrefixWasMadeFor) {
    const char* expected = std::getenv("ORVANE_EXPECT_DPI");
    if (!expected) GTEST_SKIP() << "runs in the prefixes at 144 and 192 dpi";
    EXPECT_EQ(ScreenTwipsScale().dpi_x, std::atoi(expected));
    EXPECT_EQ(ScreenTwipsScale().dpi_y, std::atoi(expected));
}

}  // namespace
}  // namespace orvane
