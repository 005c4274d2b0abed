// The drive page from outside: what the list shows per drive type, "Next >"
// with nothing or only unreadable drives checked, and Cancel's question.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "program_under_test.h"
#include "wizard/control_ids.h"

namespace orvane::blackbox {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

#define REQUIRE_TEST_DRIVES()                                 \
    if (!TestDrivesPrepared())                                \
    GTEST_SKIP() << "needs the test drives of ./orvane test " \
                    "(ORVANE_TESTDRIVES)"

// Clicks through SendMessage: returns once the click's handler has returned,
// so a click that must do nothing can be checked right after.
bool ClickAndWaitForHandler(HWND button) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL,
                                 static_cast<UINT>(kPatience.count()), &result) != 0;
}

class DrivePage : public ::testing::Test {
protected:
    void Start(const std::string& script = {}) {
        program_ = std::make_unique<ProgramUnderTest>(StartOptions().Script(script));
        ASSERT_EQ("", program_->failure());
        ASSERT_NE(nullptr, program_->WaitUntilReady()) << "the wizard did not come up";
    }
    ProgramUnderTest& program() { return *program_; }
    HWND Control(int id) { return program_->Control(id); }

    std::unique_ptr<ProgramUnderTest> program_;
};

TEST_F(DrivePage, EachDriveTypeGetsItsCheckAndItsMark) {
    REQUIRE_TEST_DRIVES();
    Start();
    const std::vector<DriveEntry> entries = ReadDriveList(program().DriveList());

    struct Expected {
        wchar_t letter;
        bool checked;
        bool marked;
        const char* why;
    };
    const Expected expected[] = {
        {L'C', true, false, "fixed, readable"},
        {L'D', true, false, "fixed, readable"},
        {L'E', false, true, "CD-ROM without a medium"},
        {L'F', false, false, "network, readable"},
        // Wine reports a letter whose target is missing as having no root
        // directory, not as a fixed disk, so G: is not pre-checked here. A
        // fixed disk whose root cannot be listed cannot be made in this
        // prefix (as root, chmod 000 does not stop a listing): the
        // in-process drive list tests cover it.
        {L'G', false, true, "letter without a target"},
        {L'H', true, false, "fixed, empty root"},
        {L'R', false, false, "removable, readable"},
        {L'Z', true, false, "fixed, readable"},
    };
    for (const Expected& drive : expected) {
        const auto entry = FindDrive(entries, drive.letter);
        ASSERT_TRUE(entry.has_value()) << static_cast<char>(drive.letter) << ": not listed";
        EXPECT_EQ(drive.checked, entry->checked)
            << static_cast<char>(drive.letter) << ": (" << drive.why << ")";
        EXPECT_EQ(drive.marked, entry->marked)
            << static_cast<char>(drive.letter) << ": (" << drive.why << ")";
    }
    // One entry per drive, in the order the system lists the drives.
    for (size_t i = 1; i < entries.size(); ++i) {
        EXPECT_LT(entries[i - 1].letter, entries[i].letter) << Narrow(entries[i].text);
    }
    SaveScreenshot(L"blackbox-drive-page-test-drives", WindowRect(program().wizard()));
}

TEST_F(DrivePage, NextWithNothingCheckedDoesNothingUntilADriveIsChecked) {
    REQUIRE_TEST_DRIVES();
    Start();
    ASSERT_TRUE(CheckOnly(program(), L""));
    const std::wstring title = Text(Control(ids::lblTitle));

    ASSERT_TRUE(ClickAndWaitForHandler(Control(ids::cmdNext)));
    EXPECT_THAT(MessageBoxes(program().process().id()), ElementsAre());
    EXPECT_TRUE(OnDrivePage(program()));
    EXPECT_TRUE(Visible(Control(ids::cmdNext)));
    EXPECT_EQ(title, Text(Control(ids::lblTitle)));
    EXPECT_THAT(program().log().Calls("engine"), ElementsAre("New"));

    // Checking a drive and pressing again starts the run.
    ASSERT_TRUE(CheckOnly(program(), L"D"));
    Click(Control(ids::cmdNext));
    EXPECT_TRUE(program().WaitForEngineCall("AnalyzeDrive D:"));
    EXPECT_TRUE(WaitUntil([&] { return Text(Control(ids::cmdCancel)) == L"Finish"; }));
}

// The box's position follows the wizard's outer rectangle: centred, halves
// truncated, never clamped.
void ExpectCentredOver(HWND wizard, HWND box) {
    const RECT outer = WindowRect(wizard);
    const RECT shown = WindowRect(box);
    const SIZE w = Size(outer);
    const SIZE b = Size(shown);
    EXPECT_NEAR(outer.left + (w.cx - b.cx) / 2, shown.left, 1);
    EXPECT_NEAR(outer.top + (w.cy - b.cy) / 2, shown.top, 1);
}

TEST_F(DrivePage, OnlyUnreadableDriveCheckedGivesTheCentredMessageAndNoRun) {
    REQUIRE_TEST_DRIVES();
    Start();
    ASSERT_TRUE(CheckOnly(program(), L"E"));

    Click(Control(ids::cmdNext));
    const auto box = WaitForBox(program());
    ASSERT_TRUE(box.has_value()) << "no message about the CD-ROM without a medium";
    EXPECT_EQ(L"Orvane Analyzer", box->caption);
    EXPECT_EQ(L"The selected drives are not accessible and cannot be analyzed: \r\nE:\\",
              box->text);
    EXPECT_EQ(program().wizard(), box->owner);
    ExpectCentredOver(program().wizard(), box->hwnd);
    SaveScreenshot(L"blackbox-inaccessible-drive-message");

    ASSERT_TRUE(Answer(*box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return MessageBoxes(program().process().id()).empty(); }));
    ASSERT_TRUE(Settle(program()));
    EXPECT_TRUE(OnDrivePage(program()));
    EXPECT_TRUE(Visible(Control(ids::cmdNext)));
    EXPECT_THAT(program().log().Calls("engine"), ElementsAre("New"));
}

TEST_F(DrivePage, UnreadableDrivesAreListedAndTheRestIsAnalyzed) {
    REQUIRE_TEST_DRIVES();
    Start();
    ASSERT_TRUE(CheckOnly(program(), L"DEG"));

    Click(Control(ids::cmdNext));
    const auto box = WaitForBox(program());
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(L"The following drives are not accessible and will not be analyzed: \r\nE:\\\r\nG:\\",
              box->text);
    ExpectCentredOver(program().wizard(), box->hwnd);
    ASSERT_TRUE(Answer(*box, IDOK));

    ASSERT_TRUE(WaitUntil([&] { return Text(Control(ids::cmdCancel)) == L"Finish"; }));
    EXPECT_THAT(program().log().Calls("engine", {"GetStatusText", "GetBytesScanned"}),
                ElementsAre("New", "AnalyzeDrive D:", "return AnalyzeDrive done", "FinishDrive",
                            "return FinishDrive done"));
}

// Neither button is the default or the cancel button: keys typed in the list
// reach the list alone.
TEST_F(DrivePage, EnterAndEscapeInTheListDoNothing) {
    REQUIRE_TEST_DRIVES();
    Start();
    ASSERT_TRUE(CheckOnly(program(), L"D"));  // so that a stray "Next >" would start a run
    const HWND list = Control(ids::lvwDrives);
    for (const auto& [key, scan] : {std::pair{VK_RETURN, 0x1C}, std::pair{VK_ESCAPE, 0x01}}) {
        ::PostMessageW(list, WM_KEYDOWN, key, 1 | (scan << 16));
        ::PostMessageW(list, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
    }
    ASSERT_TRUE(FlushPosted(program()));

    EXPECT_THAT(MessageBoxes(program().process().id()), ElementsAre());
    EXPECT_TRUE(OnDrivePage(program()));
    EXPECT_TRUE(Visible(program().wizard()));
    EXPECT_THAT(program().log().Calls("engine"), ElementsAre("New"));
}

TEST_F(DrivePage, CancelAnsweredNoChangesNothing) {
    Start();
    Click(Control(ids::cmdCancel));
    const auto box = WaitForBox(program());
    ASSERT_TRUE(box.has_value()) << "Cancel asked nothing";
    EXPECT_EQ(L"Orvane Analyzer", box->caption);
    EXPECT_EQ(L"Are you sure you want to cancel the Orvane Analyzer process?", box->text);
    EXPECT_EQ(program().wizard(), box->owner);
    ExpectCentredOver(program().wizard(), box->hwnd);
    EXPECT_NE(nullptr, ::GetDlgItem(box->hwnd, IDYES));
    EXPECT_NE(nullptr, ::GetDlgItem(box->hwnd, IDNO));

    ASSERT_TRUE(Answer(*box, IDNO));
    ASSERT_TRUE(WaitUntil([&] { return MessageBoxes(program().process().id()).empty(); }));
    ASSERT_TRUE(Settle(program()));
    EXPECT_TRUE(program().process().Running());
    EXPECT_TRUE(OnDrivePage(program()));
    EXPECT_TRUE(Visible(program().wizard()));
    EXPECT_THAT(program().log().Calls("engine"), ElementsAre("New"));
    EXPECT_THAT(program().log().Calls("styleman"), Not(Contains("Deactivate")));
}

TEST_F(DrivePage, CancelAnsweredYesEndsTheProgramAndTellsTheEngineOnce) {
    Start();
    Click(Control(ids::cmdCancel));
    const auto box = WaitForBox(program());
    ASSERT_TRUE(box.has_value()) << "Cancel asked nothing";
    ASSERT_TRUE(Answer(*box, IDYES));

    const auto code = program().WaitForExit();
    ASSERT_TRUE(code.has_value()) << "the program did not end";
    EXPECT_EQ(0u, *code);
    EXPECT_THAT(program().log().Calls("engine"), ElementsAre("New", "Cancel"));
    EXPECT_THAT(program().log().Calls("styleman"),
                ElementsAre("New", "Create", "Activate", "Deactivate", "Destroy"));
}

}  // namespace
}  // namespace orvane::blackbox
