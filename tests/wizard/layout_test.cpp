// The wizard window as created: geometry at 96 DPI, stacking, focus order,
// the frame rules and the banner, against real Win32 windows under Wine.
#include <windows.h>

#include <gtest/gtest.h>

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
protected:
    void SetUp() override {
        if (ScreenTwipsScale().per_pixel_x != 15.0) GTEST_SKIP() << "needs a 96 DPI screen";
        form.Load();
        form.StopProgressTimer();  // as start-up does
    }
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
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const RECT r = ClientRectOf(form, row.hwnd);
        // Each edge and size is converted on its own, dividing by 15 and truncating.
        EXPECT_EQ(r.left, row.left / 15);
        EXPECT_EQ(r.top, row.top / 15);
        EXPECT_EQ(r.right - r.left, (row.right - row.left) / 15);
        EXPECT_EQ(r.bottom - r.top, (row.bottom - row.top) / 15);
    }
    const RECT next = ClientRectOf(form, form.cmdNext.hWnd());
    EXPECT_EQ(next.left, 336);
    EXPECT_EQ(next.top, 300);
    EXPECT_EQ(next.right, 409);
    EXPECT_EQ(next.bottom, 323);

    RECT client;
    ::GetClientRect(form.hwnd(), &client);
    EXPECT_EQ(client.right, 428);
    EXPECT_EQ(client.bottom, 339);
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
              (std::vector<int>{ids::chkCloseWhenDone, ids::pbOverallProgress, ids::pbDiskProgress,
                                ids::lblDiskCount, ids::lblOverallProgress, ids::lblDiskProgStatus,
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
    EXPECT_EQ(::SendMessageW(form.lvwDrives.hWnd(), LVM_GETCOLUMNWIDTH, 0, 0), 1440 / 15);
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

TEST_F(WizardLayout, BannerTextsDrawNoBackgroundOverTheArtwork) {
    form.Show();
    ::UpdateWindow(form.hwnd());
    testing::PumpFor(100);
    const auto banner = BannerPixels();
    unique_window_dc dc(form.hwnd());
    // The bottom rows of lblDesc hold no text; where the label reaches into
    // the artwork the picture must show through them.
    const int y = 44;
    int compared = 0, matching = 0;
    for (int x = 240; x < 284; ++x) {
        const COLORREF seen = ::GetPixel(dc.get(), x, y);
        if (seen == CLR_INVALID) continue;
        const std::uint32_t want = banner[static_cast<size_t>((y + 15) * kBannerWidth + (x + 43))];
        ++compared;
        if (GetRValue(seen) == ((want >> 16) & 0xFF) && GetGValue(seen) == ((want >> 8) & 0xFF) &&
            GetBValue(seen) == (want & 0xFF))
            ++matching;
    }
    if (compared == 0) GTEST_SKIP() << "the screen cannot be read back here";
    EXPECT_EQ(matching, compared);
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

}  // namespace
}  // namespace orvane
