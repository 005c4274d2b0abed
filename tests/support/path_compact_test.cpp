#include "support/path_compact.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "orvane/win32_handles.h"

namespace orvane {
namespace {

constexpr int kCanvasWidth = 400;
constexpr int kCanvasHeight = 40;
constexpr COLORREF kBackground = RGB(255, 255, 255);

// A memory DC over a white bitmap, with the dialog font selected.
class PathCompactTest : public testing::Test {
protected:
    void SetUp() override {
        dc_.reset(::CreateCompatibleDC(nullptr));
        ASSERT_TRUE(dc_);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = kCanvasWidth;
        info.bmiHeader.biHeight = -kCanvasHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        ASSERT_TRUE(bitmap_);
        pixels_ = static_cast<const DWORD*>(bits);
        ::SelectObject(dc_.get(), bitmap_.get());
        ::SelectObject(dc_.get(), ::GetStockObject(DEFAULT_GUI_FONT));
        RECT all{0, 0, kCanvasWidth, kCanvasHeight};
        const unique_hbrush white(::CreateSolidBrush(kBackground));
        ::FillRect(dc_.get(), &all, white.get());
        ::GdiFlush();
    }

    long TextWidth(const std::wstring& text) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc_.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

    bool CanvasIsBlank() {
        ::GdiFlush();
        for (int i = 0; i < kCanvasWidth * kCanvasHeight; ++i) {
            if ((pixels_[i] & 0xFFFFFF) != 0xFFFFFF) return false;
        }
        return true;
    }

    unique_mem_dc dc_;
    unique_hbitmap bitmap_;
    const DWORD* pixels_ = nullptr;
};

TEST_F(PathCompactTest, TextThatFitsComesBackUnchanged) {
    const std::wstring path = L"C:\\Data\\Photos";
    EXPECT_EQ(CompactPath(path, 1000, dc_.get()), path);
    // Exactly as wide as the text still fits.
    EXPECT_EQ(CompactPath(path, TextWidth(path), dc_.get()), path);
    EXPECT_EQ(CompactPath(L"", 100, dc_.get()), L"");
}

TEST_F(PathCompactTest, LongPathLosesItsMiddleAndKeepsDriveAndLastFolder) {
    const std::wstring path =
        L"C:\\Documents and Settings\\Somebody\\Application Data\\Some Program\\Cache\\Thumbnails";
    const long width = TextWidth(L"C:\\Documents\\...\\Thumbnails");
    ASSERT_LT(width, TextWidth(path));
    const std::wstring compact = CompactPath(path, width, dc_.get());

    EXPECT_NE(compact, path);
    EXPECT_LE(TextWidth(compact), width) << testing::PrintToString(compact);
    EXPECT_EQ(compact.rfind(L"C:\\", 0), 0u) << testing::PrintToString(compact);
    const std::size_t ellipsis = compact.find(L"...");
    ASSERT_NE(ellipsis, std::wstring::npos) << testing::PrintToString(compact);
    EXPECT_GT(ellipsis, 0u);
    // The last folder is whole: it fits on its own.
    const std::wstring tail = L"\\Thumbnails";
    ASSERT_GE(compact.size(), tail.size());
    EXPECT_EQ(compact.substr(compact.size() - tail.size()), tail)
        << testing::PrintToString(compact);
    // Nothing of the longer input stays behind the shortened text.
    EXPECT_EQ(compact.find(L'\0'), std::wstring::npos);
    EXPECT_LE(compact.size(), path.size());
}

TEST_F(PathCompactTest, NothingIsPainted) {
    ASSERT_TRUE(CanvasIsBlank());
    CompactPath(L"C:\\Program Files\\A rather long folder name\\and another one\\leaf", 120,
                dc_.get());
    CompactPath(L"C:\\fits", 300, dc_.get());
    EXPECT_TRUE(CanvasIsBlank());
}

TEST_F(PathCompactTest, FailingCallLeavesThePathUnchanged) {
    const std::wstring path = L"C:\\Documents and Settings\\Somebody\\Application Data\\Cache";
    // No device context to measure with: the text function fails.
    EXPECT_EQ(CompactPath(path, 20, nullptr), path);
}

}  // namespace
}  // namespace orvane
