// The selection check against the real drives of the test prefix (see
// drive_list_test.cpp): E:, G: and I: cannot be listed, the others can.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "inproc_support.h"
#include "wizard/frmWizard.h"

namespace orvane {
namespace {

using testing::BoxAnswerer;

class Selection : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::HasTestDrives()) GTEST_SKIP() << "not the prefix with the test drives";
        testing::StartWizard(form, fakes);
    }
    void CheckOnly(const std::set<std::wstring>& drives) { testing::CheckOnlyDrives(form, drives); }
    testing::InstalledFakes fakes;
    frmWizard form;
};

TEST_F(Selection, NothingCheckedShowsNoMessageAndKeepsTheList) {
    CheckOnly({});
    form.sSelectedDrives = {L"X:"};
    BoxAnswerer answerer({IDOK});
    EXPECT_TRUE(form.CollectSelectedDrives());
    EXPECT_TRUE(form.bNoDriveSelected);
    EXPECT_EQ(form.sSelectedDrives, (std::vector<std::wstring>{L"X:"}));
    testing::PumpFor(100);
    EXPECT_TRUE(answerer.Boxes().empty());
}

TEST_F(Selection, AccessibleDrivesAreCollectedInListOrder) {
    CheckOnly({L"F:", L"C:", L"H:", L"R:"});
    BoxAnswerer answerer({IDOK});
    EXPECT_TRUE(form.CollectSelectedDrives());
    EXPECT_FALSE(form.bNoDriveSelected);
    EXPECT_EQ(form.sSelectedDrives, (std::vector<std::wstring>{L"C:", L"F:", L"H:", L"R:"}));
    EXPECT_TRUE(answerer.Boxes().empty());
}

TEST_F(Selection, OneCheckedDriveInaccessibleStopsTheRunWithACentredMessage) {
    CheckOnly({L"E:"});
    BoxAnswerer answerer({IDOK});
    EXPECT_FALSE(form.CollectSelectedDrives());
    EXPECT_TRUE(form.bNoDriveSelected);
    const auto boxes = answerer.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Orvane Analyzer");
    EXPECT_EQ(boxes[0].text,
              L"The selected drives are not accessible and cannot be analyzed: \r\nE:\\");
    EXPECT_EQ(boxes[0].owner, form.hwnd());
    RECT wizard;
    ::GetWindowRect(form.hwnd(), &wizard);
    const RECT& box = boxes[0].rect;
    EXPECT_EQ(box.left, wizard.left + ((wizard.right - wizard.left) - (box.right - box.left)) / 2);
    EXPECT_EQ(box.top, wizard.top + ((wizard.bottom - wizard.top) - (box.bottom - box.top)) / 2);
}

TEST_F(Selection, SomeInaccessibleDrivesAreListedAndTheRestGoOn) {
    CheckOnly({L"D:", L"G:"});
    BoxAnswerer answerer({IDOK});
    EXPECT_TRUE(form.CollectSelectedDrives());
    EXPECT_FALSE(form.bNoDriveSelected);
    EXPECT_EQ(form.sSelectedDrives, (std::vector<std::wstring>{L"D:"}));
    const auto boxes = answerer.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              L"The following drives are not accessible and will not be analyzed: \r\nG:\\");
}

TEST_F(Selection, ThreeInaccessibleAmongFiveAreLinesInListOrder) {
    CheckOnly({L"I:", L"C:", L"G:", L"F:", L"E:"});
    BoxAnswerer answerer({IDOK});
    EXPECT_TRUE(form.CollectSelectedDrives());
    EXPECT_EQ(form.sSelectedDrives, (std::vector<std::wstring>{L"C:", L"F:"}));
    const auto boxes = answerer.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              L"The following drives are not accessible and will not be analyzed: \r\n"
              L"E:\\\r\nG:\\\r\nI:\\");
}

TEST_F(Selection, AListLeftLongerByAnEarlierCallHoldsOnlyTheNewDrives) {
    form.sSelectedDrives = {L"A:", L"B:", L"C:", L"D:"};
    CheckOnly({L"H:"});
    EXPECT_TRUE(form.CollectSelectedDrives());
    EXPECT_EQ(form.sSelectedDrives, (std::vector<std::wstring>{L"H:"}));
}

TEST_F(Selection, ADriveProbedAfreshEachTime) {
    // The list was filled while G: had no root; it is accepted once it has one.
    CheckOnly({L"G:"});
    {
        BoxAnswerer answerer({IDOK});
        EXPECT_FALSE(form.CollectSelectedDrives());
    }
    const char* drives = std::getenv("ORVANE_TESTDRIVES");
    if (!drives) GTEST_SKIP() << "the test drives' folder is not known";
    const std::string gone = std::string("Z:") + drives + "/gone";
    std::string windows_path = gone;
    for (char& c : windows_path)
        if (c == '/') c = '\\';
    ASSERT_TRUE(::CreateDirectoryA(windows_path.c_str(), nullptr));
    form.bNoDriveSelected = false;
    EXPECT_TRUE(form.CollectSelectedDrives());
    ::RemoveDirectoryA(windows_path.c_str());
    EXPECT_EQ(form.sSelectedDrives, (std::vector<std::wstring>{L"G:"}));
}

}  // namespace
}  // namespace orvane
