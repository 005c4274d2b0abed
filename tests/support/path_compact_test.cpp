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
public:
    std::wstring Compact(const std::wstring& path, long width) {
        return CompactPath(path, width, dc_.get());
    }

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

public:
    long TextWidth(const std::wstring& text) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc_.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

protected:
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

// What every shortened path must hold: no wider than the width, "..." in it,
// and the last name whole where "...\" and it fit, its start otherwise.
void ExpectKeepsTheRule(PathCompactTest& test, const std::wstring& path, long width) {
    const std::wstring compact = test.Compact(path, width);
    SCOPED_TRACE(testing::PrintToString(compact));
    EXPECT_LE(test.TextWidth(compact), width);
    EXPECT_NE(compact.find(L"..."), std::wstring::npos);
    const std::wstring last = path.substr(path.find_last_of(L'\\') + 1);
    if (test.TextWidth(L"...\\" + last) <= width) {
        ASSERT_GE(compact.size(), last.size() + 1);
        EXPECT_EQ(compact.substr(compact.size() - last.size() - 1), L"\\" + last);
    } else {
        // The last name is shortened too: its start, then "...".
        const std::size_t from = compact.rfind(L"\\") + 1;
        const std::wstring kept = compact.substr(from, compact.size() - from - 3);
        EXPECT_EQ(compact.substr(compact.size() - 3), L"...");
        EXPECT_EQ(last.rfind(kept, 0), 0u);
        EXPECT_GT(kept.size(), 0u);
    }
}

TEST_F(PathCompactTest, AHugeLastNameIsShortenedTooAndStillFits) {
    std::wstring name;
    while (name.size() < 208) name += L"Long name segment ";
    name.resize(208);
    ExpectKeepsTheRule(*this, L"E:\\" + name, 300);
    ExpectKeepsTheRule(*this, L"E:\\" + name, 40);
}

TEST_F(PathCompactTest, PathsOfHundredsOfCharactersKeepTheirLastName) {
    for (const std::size_t length : {500u, 750u, 1000u}) {
        std::wstring path = L"E:";
        for (int i = 0; path.size() < length; ++i) path += L"\\folder " + std::to_wstring(i);
        path += L"\\next";
        SCOPED_TRACE(length);
        ExpectKeepsTheRule(*this, path, 300);
    }
}

TEST_F(PathCompactTest, NamesInSeveralScriptsFit) {
    for (const std::wstring path :
         {L"D:"
          L"\\\u0414\u043e\u043a\u0443\u043c\u0435\u043d\u0442\u044b\\\u0424\u043e\u0442\u043e"
          L"\u0433\u0440\u0430\u0444\u0438\u0438 "
          L"\u043b\u0435\u0442\u0430\\\u041e\u0442\u043f\u0443\u0441\u043a",
          L"D:"
          L"\\\u03a6\u03c9\u03c4\u03bf\u03b3\u03c1\u03b1\u03c6\u03af\u03b5\u03c2\\\u0394\u03b9"
          L"\u03b1\u03ba\u03bf\u03c0\u03ad\u03c2 "
          L"\u03ba\u03b1\u03bb\u03bf\u03ba\u03b1\u03b9\u03c1\u03b9\u03bf\u03cd\\\u039d\u03ae\u03c3"
          L"\u03bf\u03b9",
          L"D:"
          L"\\\u6587\u6863\u8d44\u6599\u5939\\\u7167\u7247\u548c\u89c6\u9891\u6587\u4ef6\\\u65c5"
          L"\u884c",
          L"D:"
          L"\\\u0627\u0644\u0645\u0633\u062a\u0646\u062f\u0627\u062a\\\u0627\u0644\u0635\u0648"
          L"\u0631 \u0627\u0644\u0639\u0627\u0626\u0644\u064a\u0629\\\u0631\u062d\u0644\u0629",
          L"D:\\\U0001F4C1 emoji folder \U0001F600\U0001F600\U0001F600\\\U0001F4F7 pictures"}) {
        const long width = TextWidth(path) / 2;
        ExpectKeepsTheRule(*this, path, width);
    }
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
