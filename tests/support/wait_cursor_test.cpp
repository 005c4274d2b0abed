#include "support/wait_cursor.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "support/app_error.h"

namespace orvane {
namespace {

// Every test starts from a pointer that is neither the default nor one the
// tests set, so that "restored" and "reset to default" differ.
class WaitCursorTest : public testing::Test {
protected:
    static constexpr short kBefore = 13;
    void SetUp() override { SetScreenMousePointer(kBefore); }
    void TearDown() override { SetScreenMousePointer(kPointerDefault); }
};

TEST_F(WaitCursorTest, ReleaseBringsBackThePointerInForceAtCreation) {
    {
        cWaitCursor wait;
        wait.SetCursor(kPointerHourglass);
        EXPECT_EQ(ScreenMousePointer(), kPointerHourglass);
        wait.SetCursor(kPointerArrow);
        EXPECT_EQ(ScreenMousePointer(), kPointerArrow);
    }
    EXPECT_EQ(ScreenMousePointer(), kBefore);

    {
        cWaitCursor wait;
        wait.SetCursor(kPointerHourglass);
        wait.Restore();
        EXPECT_EQ(ScreenMousePointer(), kBefore);
        wait.SetCursor(kPointerArrow);  // still usable after Restore
        EXPECT_EQ(ScreenMousePointer(), kPointerArrow);
    }
    EXPECT_EQ(ScreenMousePointer(), kBefore);
}

TEST_F(WaitCursorTest, TwoObjectsReleasedInReverseOrderLeaveTheFirstSavedPointer) {
    {
        cWaitCursor outer;
        outer.SetCursor(kPointerHourglass);
        {
            cWaitCursor inner;
            inner.SetCursor(kPointerArrow);
        }
        EXPECT_EQ(ScreenMousePointer(), kPointerHourglass);
    }
    EXPECT_EQ(ScreenMousePointer(), kBefore);
}

TEST_F(WaitCursorTest, ValuesBeyondSixteenBitsRaiseOverflowAndChangeNothing) {
    cWaitCursor wait;
    wait.SetCursor(kPointerHourglass);
    for (const long value : {40000L, 32768L, -32769L}) {
        long number = 0;
        try {
            wait.SetCursor(value);
        } catch (const AppError& e) {
            number = e.number();
        }
        EXPECT_EQ(number, kErrOverflow) << value;
        EXPECT_EQ(ScreenMousePointer(), kPointerHourglass) << value;
    }
    wait.SetCursor(32767L);
    EXPECT_EQ(ScreenMousePointer(), 32767);
    wait.SetCursor(-32768L);
    EXPECT_EQ(ScreenMousePointer(), -32768);
}

TEST_F(WaitCursorTest, ProgramWidePointerShowsAtOnceAndDefaultLeavesItToWindows) {
    SetScreenMousePointer(kPointerHourglass);
    const HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT);
    EXPECT_EQ(ProgramWideCursor(), wait);
    EXPECT_EQ(::GetCursor(), wait);
    SetScreenMousePointer(kPointerArrow);
    EXPECT_EQ(ProgramWideCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
    SetScreenMousePointer(kPointerDefault);
    EXPECT_EQ(ProgramWideCursor(), nullptr);
    EXPECT_NE(::GetCursor(), wait);
}

}  // namespace
}  // namespace orvane
