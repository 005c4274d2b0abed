// The engine's texts as the wizard reads them, and the report files as a
// user finds them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "orvane/atomic_file.h"
#include "report_folder.h"
#include "report_store.h"
#include "status_text.h"
#include "test_support.h"

namespace {

using namespace orvane::engine::com;

TEST(StatusText, KeepsOneBackslashForTheWizardToDropAndGroupsTheCountTheUsersWay) {
    for (const wchar_t* folder : {L"C:\\Data\\Photos", L"C:\\Data\\Photos\\\\"}) {
        const auto fields = engine_test::SplitStatus(FormatStatusText(folder, 1234567));
        ASSERT_TRUE(fields.well_formed) << folder;
        EXPECT_EQ(fields.folder, L"C:\\Data\\Photos");
        EXPECT_EQ(engine_test::ParseGroupedCount(fields.count), 1234567);
    }
    // A root shows as the drive; nothing at all still leaves one character.
    EXPECT_EQ(engine_test::SplitStatus(FormatStatusText(L"C:\\", 0)).folder, L"C:");
    EXPECT_TRUE(engine_test::SplitStatus(FormatStatusText(L"", 0)).well_formed);

    wchar_t separator[8] = L"";
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    EXPECT_EQ(LocaleGroupedDigits(999), L"999");
    EXPECT_EQ(LocaleGroupedDigits(1234), std::wstring(L"1") + separator + L"234");
    EXPECT_EQ(FormatByteCount(18446744073709551615ull), L"18446744073709551615");
}

TEST(ReportStore, NamesReportsByDriveAndTimeWithoutOverwriting) {
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 7;
    t.wHour = 9;
    t.wMinute = 5;
    t.wSecond = 1;
    EXPECT_EQ(ReportFileName(L'c', t), L"C-20260307-090501.json");

    engine_test::TempTree tree(L"reports");
    tree.AddFile(L"C-1.json", 1);
    tree.AddFile(L"C-1-2.json", 1);
    EXPECT_EQ(UnusedReportPath(tree.root(), L"C-1.json"), tree.root() + L"\\C-1-3.json");
}

TEST(ReportFolder, ANewFolderSaysNoDriveHasBeenAnalysedAndOnlyOurNamesCountAsReports) {
    engine_test::TempTree tree(L"fresh-reports");
    ASSERT_HRESULT_SUCCEEDED(EnsureReportsIndex(tree.root()));
    const std::wstring index = tree.root() + L"\\index.html";
    EXPECT_NE(engine_test::ReadFileBytes(index).find("No drive has been analysed yet."),
              std::string::npos);
    ASSERT_TRUE(orvane::WriteFileAtomically(index, "kept").ok());
    ASSERT_HRESULT_SUCCEEDED(EnsureReportsIndex(tree.root()));
    EXPECT_EQ(engine_test::ReadFileBytes(index), "kept")
        << "an index is never replaced by the empty one";

    EXPECT_TRUE(IsReportFileName(L"C-20261207-201530.json"));
    EXPECT_TRUE(IsReportFileName(L"C-20261207-201530-12.json"));
    for (const wchar_t* other :
         {L"index.json", L"c-20261207-201530.json", L"C-20261207-201530-.json",
          L"C-2026120-2015300.json", L"C-20261207-201530.html", L"C-20261207-201530-x.json"}) {
        EXPECT_FALSE(IsReportFileName(other)) << std::string(other, other + wcslen(other));
    }
}

}  // namespace
