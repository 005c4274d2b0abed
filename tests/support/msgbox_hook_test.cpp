#include "support/msgbox_hook.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "orvane/win32_handles.h"

namespace orvane {
namespace {

// The window the boxes centre over, in pixels; the provider hands it to the
// module in twips, as the wizard does.
RECT g_target_pixels{};
HWND g_target_window = nullptr;

CenteringTarget TestTarget() {
    CenteringTarget target;
    target.hwnd = g_target_window;
    target.scale = ScreenTwipsScale();
    target.left = g_target_pixels.left * target.scale.PerPixelX();
    target.top = g_target_pixels.top * target.scale.PerPixelY();
    target.width = (g_target_pixels.right - g_target_pixels.left) * target.scale.PerPixelX();
    target.height = (g_target_pixels.bottom - g_target_pixels.top) * target.scale.PerPixelY();
    return target;
}

// What the box looked like while it was up, seen from inside its modal loop.
struct SeenBox {
    HWND hwnd = nullptr;
    RECT rect{};
    std::wstring caption;
    bool hook_still_installed = true;
    int button = IDOK;  // the button to press
};
SeenBox g_seen;

BOOL CALLBACK FindBoxOfThread(HWND hwnd, LPARAM found) {
    wchar_t class_name[16] = {};
    ::GetClassNameW(hwnd, class_name, 16);
    if (std::wstring(class_name) == L"#32770" && ::IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Runs on the test thread inside the box's modal loop: the box has been
// created, activated and shown by then.
void CALLBACK InspectAndAnswerBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindBoxOfThread, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    ::KillTimer(nullptr, timer);
    g_seen.hwnd = box;
    ::GetWindowRect(box, &g_seen.rect);
    wchar_t caption[128] = {};
    ::GetWindowTextW(box, caption, 128);
    g_seen.caption = caption;
    g_seen.hook_still_installed = MsgBoxHookInstalled();
    const HWND button = ::GetDlgItem(box, g_seen.button);
    if (button) {
        ::PostMessageW(button, BM_CLICK, 0, 0);
    } else {
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(g_seen.button, BN_CLICKED), 0);
    }
}

class MsgBoxHookTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OrvaneMsgBoxTarget";
        ::RegisterClassW(&wc);
        g_seen = SeenBox{};
        SetCenteringTargetProvider(TestTarget);
    }
    void TearDown() override {
        SetCenteringTargetProvider(nullptr);
        g_target_window = nullptr;
    }

    // A shown top-level window at the given screen rectangle.
    void ShowTarget(int x, int y, int width, int height) {
        window_.reset(::CreateWindowExW(0, L"OrvaneMsgBoxTarget", L"Target", WS_POPUP | WS_VISIBLE,
                                        x, y, width, height, nullptr, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(window_);
        g_target_window = window_.get();
        ::GetWindowRect(window_.get(), &g_target_pixels);
    }

    int ShowBox(std::wstring prompt, long type, std::wstring& title, int button) {
        g_seen.button = button;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, InspectAndAnswerBox);
        const int result = MsgBoxCentered(prompt, type, title);
        ::KillTimer(nullptr, timer);  // in case no box ever came up
        return result;
    }

    unique_hwnd window_;
};

long CentreX(const RECT& r) { return (r.left + r.right) / 2; }
long CentreY(const RECT& r) { return (r.top + r.bottom) / 2; }

TEST_F(MsgBoxHookTest, SmallBoxIsCentredOverTheTargetAndAnswersYesOrNo) {
    ShowTarget(100, 80, 700, 500);
    std::wstring title = L"Orvane Analyzer";
    EXPECT_EQ(ShowBox(L"Are you sure?", MB_YESNO, title, IDYES), IDYES);
    ASSERT_NE(g_seen.hwnd, nullptr);
    EXPECT_LE(std::abs(CentreX(g_seen.rect) - CentreX(g_target_pixels)), 1);
    EXPECT_LE(std::abs(CentreY(g_seen.rect) - CentreY(g_target_pixels)), 1);
    const long width = g_seen.rect.right - g_seen.rect.left;
    const long height = g_seen.rect.bottom - g_seen.rect.top;
    EXPECT_EQ(g_seen.rect.left, 100 + (700 - width) / 2);
    EXPECT_EQ(g_seen.rect.top, 80 + (500 - height) / 2);
    EXPECT_EQ(g_seen.caption, L"Orvane Analyzer");
    // The hook is gone as soon as the box is placed, not only when it closes.
    EXPECT_FALSE(g_seen.hook_still_installed);
    EXPECT_FALSE(MsgBoxHookInstalled());

    EXPECT_EQ(ShowBox(L"Are you sure?", MB_YESNO, title, IDNO), IDNO);
    EXPECT_FALSE(MsgBoxHookInstalled());
}

TEST_F(MsgBoxHookTest, BoxWiderThanTheTargetExtendsEquallyOnBothSides) {
    ShowTarget(300, 200, 120, 60);
    std::wstring title = L"Orvane Analyzer";
    const std::wstring prompt =
        L"The following drives are not accessible and will not be analyzed: \r\nE:\\\r\nG:\\";
    EXPECT_EQ(ShowBox(prompt, MB_ICONINFORMATION, title, IDOK), IDOK);
    ASSERT_NE(g_seen.hwnd, nullptr);
    const long width = g_seen.rect.right - g_seen.rect.left;
    ASSERT_GT(width, 120);
    EXPECT_LT(g_seen.rect.left, 300);
    const long left_overhang = 300 - g_seen.rect.left;
    const long right_overhang = g_seen.rect.right - 420;
    EXPECT_LE(std::abs(left_overhang - right_overhang), 1);
    // Truncation toward zero: the negative half-difference rounds up.
    EXPECT_EQ(g_seen.rect.left, 300 + (120 - width) / 2);
}

TEST_F(MsgBoxHookTest, TargetPartlyOffScreenIsFollowedWithoutClamping) {
    ShowTarget(-400, -300, 500, 400);
    std::wstring title = L"Orvane Analyzer";
    EXPECT_EQ(ShowBox(L"Off the edge", MB_OK, title, IDOK), IDOK);
    ASSERT_NE(g_seen.hwnd, nullptr);
    const long width = g_seen.rect.right - g_seen.rect.left;
    const long height = g_seen.rect.bottom - g_seen.rect.top;
    EXPECT_EQ(g_seen.rect.left, -400 + (500 - width) / 2);
    EXPECT_EQ(g_seen.rect.top, -300 + (400 - height) / 2);
    EXPECT_LT(g_seen.rect.left, 0);
    EXPECT_LT(g_seen.rect.top, 0);
}

TEST_F(MsgBoxHookTest, EmptyCaptionBecomesTheDefaultForBoxAndCaller) {
    ShowTarget(100, 100, 600, 400);
    std::wstring title;
    EXPECT_EQ(ShowBox(L"Hello", MB_OK, title, IDOK), IDOK);
    EXPECT_EQ(title, L"Ostrel Messagebox Demo");
    EXPECT_EQ(g_seen.caption, L"Ostrel Messagebox Demo");
}

TEST_F(MsgBoxHookTest, BoxThatCannotBeShownLeavesNoHookBehind) {
    // An owner that no longer exists: the box is refused.
    ShowTarget(100, 100, 600, 400);
    window_.reset();
    std::wstring title = L"Orvane Analyzer";
    std::wstring prompt = L"Never shown";
    EXPECT_EQ(MsgBoxCentered(prompt, MB_OK, title), 0);
    EXPECT_FALSE(MsgBoxHookInstalled());

    // Nothing moves the next window that becomes active on this thread.
    g_target_window = nullptr;
    g_target_pixels = RECT{0, 0, 2000, 2000};
    unique_hwnd other(::CreateWindowExW(0, L"OrvaneMsgBoxTarget", L"Other", WS_POPUP, 50, 60, 200,
                                        100, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                        nullptr));
    ASSERT_TRUE(other);
    ::ShowWindow(other.get(), SW_SHOW);
    ::SetActiveWindow(other.get());
    RECT rect{};
    ::GetWindowRect(other.get(), &rect);
    EXPECT_EQ(rect.left, 50);
    EXPECT_EQ(rect.top, 60);
}

TEST(MsgBoxPositionTest, ConvertsTwipsAndDividesTruncatingTowardZero) {
    CenteringTarget target;
    target.scale = TwipsScale{96, 96};
    target.left = 1500;      // 100 px
    target.top = 3000;       // 200 px
    target.width = 1500;     // 100 px
    target.height = 1000.5;  // 1000 twips: 66 px
    POINT p = CenteredBoxPosition(target, 105, 60);
    EXPECT_EQ(p.x, 100 - 2);  // (100 - 105) / 2 = -2, not -3
    EXPECT_EQ(p.y, 200 + 3);
    // 192 dpi: 7.5 twips per pixel, taken exactly.
    target.scale = TwipsScale{192, 192};
    target.left = 750;  // 100 px
    target.top = 0;
    target.width = 1600;  // 213 px
    target.height = 800;  // 106 px
    p = CenteredBoxPosition(target, 100, 50);
    EXPECT_EQ(p.x, 100 + 56);
    EXPECT_EQ(p.y, 0 + 28);
}

}  // namespace
}  // namespace orvane
