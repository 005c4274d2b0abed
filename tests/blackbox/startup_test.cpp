// Start-up and the end of the program, seen from outside: the real program
// with scripted stand-ins, missing components and the window's close box.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "program_under_test.h"
#include "wizard/control_ids.h"

namespace orvane::blackbox {
namespace {

using ::testing::ElementsAre;

// Visible top-level windows of the process other than message boxes.
bool ShowsAWindow(DWORD processId) {
    for (HWND hwnd : TopLevelWindows(processId)) {
        if (::IsWindowVisible(hwnd) && ClassName(hwnd) != L"#32770") return true;
    }
    return false;
}

std::optional<MessageBoxInfo> ErrorReportOf(DWORD processId) {
    for (const MessageBoxInfo& box : MessageBoxes(processId)) {
        if (IsErrorReport(box)) return box;
    }
    return std::nullopt;
}

// Watches the whole start-up until the error report appears or the program
// ends; tells whether a window of the program was shown meanwhile, even
// briefly.
std::optional<MessageBoxInfo> WatchStartUpForReport(const ProgramUnderTest& program,
                                                    bool& windowSeen) {
    const DWORD id = program.process().id();
    windowSeen = false;
    std::optional<MessageBoxInfo> report;
    WaitUntil([&] {
        windowSeen = windowSeen || FindWizard(id) != nullptr || ShowsAWindow(id);
        report = ErrorReportOf(id);
        return report.has_value() || !program.process().Running();
    });
    return report;
}

TEST(StartUp, MissingStyleManagerEndsWithTheErrorReportBeforeAnyWindow) {
    ProgramUnderTest program(StartOptions().WithoutStyleman());
    ASSERT_EQ("", program.failure());
    const DWORD id = program.process().id();

    // A wizard shown even briefly is a fault.
    bool windowSeen = false;
    const auto report = WatchStartUpForReport(program, windowSeen);
    ASSERT_TRUE(report.has_value())
        << "no error report (process running: " << program.process().Running() << ")\n"
        << DescribeWindows(id);
    EXPECT_FALSE(windowSeen);
    EXPECT_EQ(nullptr, FindWizard(id));
    EXPECT_EQ(L"Orvane Analyzer", report->caption);
    // Start-up stops at its first step: the engine is never created.
    EXPECT_THAT(program.log().Calls("engine"), ElementsAre());

    ASSERT_TRUE(Answer(*report, IDOK));
    const auto code = program.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "the program did not end after the error report";
    EXPECT_NE(0u, *code);
    EXPECT_EQ(nullptr, FindWizard(id));
}

TEST(StartUp, MissingEngineShowsTheFilledWizardThenTheErrorReport) {
    ProgramUnderTest program(StartOptions().WithoutEngine());
    ASSERT_EQ("", program.failure());
    const DWORD id = program.process().id();

    std::optional<MessageBoxInfo> report;
    ASSERT_TRUE(WaitUntil([&] {
        report = ErrorReportOf(id);
        return report.has_value() || !program.process().Running();
    }));
    ASSERT_TRUE(report.has_value()) << "the program ended without an error report";
    EXPECT_EQ(L"Orvane Analyzer", report->caption);

    // The engine is created after the list was filled, so the wizard is up
    // with its drives while the report is shown.
    const HWND wizard = program.WaitForWizard(milliseconds(0));
    ASSERT_NE(nullptr, wizard) << "no wizard before the error report";
    EXPECT_TRUE(Visible(wizard));
    EXPECT_GT(program.DriveList().Count(), 0);
    EXPECT_THAT(program.log().Calls("styleman"), ElementsAre("New", "Create", "Activate"));

    ASSERT_TRUE(Answer(*report, IDOK));
    const auto code = program.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "the program did not end after the error report";
    EXPECT_NE(0u, *code);
}

TEST(StartUp, FailingStyleManagerOperationEndsWithTheErrorReportBeforeAnyWindow) {
    ProgramUnderTest program(StartOptions().Script("fail=Activate:0x80004005\n"));
    ASSERT_EQ("", program.failure());

    bool windowSeen = false;
    const auto report = WatchStartUpForReport(program, windowSeen);
    ASSERT_TRUE(report.has_value());
    EXPECT_FALSE(windowSeen);
    EXPECT_THAT(program.log().Calls("styleman"),
                ElementsAre("New", "Create", "Activate", "fail Activate 0x80004005"));
    ASSERT_TRUE(Answer(*report, IDOK));
    const auto code = program.WaitForExit();
    ASSERT_TRUE(code.has_value());
    EXPECT_NE(0u, *code);
}

TEST(Closing, CloseBoxReleasesTheStyleManagerOnceAndEndsTheProgram) {
    ProgramUnderTest program(StartOptions{});
    ASSERT_EQ("", program.failure());
    const HWND wizard = program.WaitUntilReady();
    ASSERT_NE(nullptr, wizard);

    CloseWithCloseBox(wizard);
    const auto code = program.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "the program is still running after its window closed";
    EXPECT_EQ(0u, *code);
    EXPECT_THAT(program.log().Calls("styleman"),
                ElementsAre("New", "Create", "Activate", "Deactivate", "Destroy"));
    // The close box asks nothing and tells the engine nothing on the drive page.
    EXPECT_THAT(program.log().Calls("engine"), ElementsAre("New"));
}

TEST(Screens, DrivePageAfterStartUp) {
    ProgramUnderTest program(StartOptions{});
    ASSERT_EQ("", program.failure());
    const HWND wizard = program.WaitUntilReady();
    ASSERT_NE(nullptr, wizard);
    ::RedrawWindow(wizard, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ASSERT_TRUE(Settle(program));

    // Start-up leaves the drive page ready: the notice behind the list,
    // "Next >" enabled, both buttons over the rule of the button row.
    EXPECT_TRUE(OnDrivePage(program));
    EXPECT_TRUE(InFrontOf(program.Control(ids::lvwDrives), program.Control(ids::txtLoading)));
    EXPECT_TRUE(Enabled(program.Control(ids::cmdNext)));
    EXPECT_TRUE(InFrontOf(program.Control(ids::cmdNext), program.Control(ids::frmBar)));
    EXPECT_TRUE(InFrontOf(program.Control(ids::cmdCancel), program.Control(ids::frmBar)));
    const unique_window_dc screen(nullptr);
    if (::GetDeviceCaps(screen.get(), LOGPIXELSX) == 96) {
        const SIZE client = Size(ClientRectOnScreen(wizard));
        EXPECT_EQ(428, client.cx);
        EXPECT_EQ(339, client.cy);
    }
    // The banner is white where its picture is plain, at its left.
    const RECT client = ClientRectOnScreen(wizard);
    EXPECT_EQ(RGB(255, 255, 255), ScreenPixel({client.left + 5, client.top + 5}));

    SaveScreenshot(L"blackbox-drive-page", WindowRect(wizard));
    CloseWithCloseBox(wizard);
    EXPECT_TRUE(program.WaitForExit().has_value());
}

}  // namespace
}  // namespace orvane::blackbox
