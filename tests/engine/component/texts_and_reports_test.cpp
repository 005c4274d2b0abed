// The engine's texts as the wizard reads them, and the report files as a
// user finds them.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "report_store.h"
#include "status_text.h"
#include "test_support.h"

namespace {

using namespace orvane::engine::com;

TEST(StatusText, ShowsTheFolderAsTheUserKnowsItWithOneBackslashForTheWizardToDrop) {
    struct Case {
        const wchar_t* folder;
        const wchar_t* shown;
    } cases[] = {
        {L"\\\\?\\C:\\Data\\Photos", L"C:\\Data\\Photos"},
        {L"C:\\Data\\Photos\\", L"C:\\Data\\Photos"},
        {L"\\\\?\\C:\\", L"C:"},
        {L"C:\\", L"C:"},
        {L"\\\\?\\UNC\\server\\share\\x", L"\\\\server\\share\\x"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        const auto fields = engine_test::SplitStatus(FormatStatusText(c.folder, 1234567));
        ASSERT_TRUE(fields.well_formed) << c.shown;
        EXPECT_EQ(fields.folder, c.shown);
        EXPECT_EQ(fields.dropped, L'\\');
        EXPECT_EQ(engine_test::ParseGroupedCount(fields.count), 1234567);
    }
}

TEST(StatusText, GroupsDigitsTheUsersWayAndCountsBytesInPlainDigits) {
    wchar_t separator[8] = L"";
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    EXPECT_EQ(GroupDigits(0), L"0");
    EXPECT_EQ(GroupDigits(999), L"999");
    EXPECT_EQ(GroupDigits(1234), std::wstring(L"1") + separator + L"234");
    EXPECT_EQ(GroupDigits(18446744073709551615ull).size(), 20 + 6 * std::wstring(separator).size());
    EXPECT_EQ(FormatByteCount(0), L"0");
    EXPECT_EQ(FormatByteCount(18446744073709551615ull), L"18446744073709551615");
}

TEST(ReportStore, NamesReportsByDriveAndTimeAndNeverOverwritesAnEarlierOne) {
    SYSTEMTIME t{};
    t.wYear = 2026;
    t.wMonth = 3;
    t.wDay = 7;
    t.wHour = 9;
    t.wMinute = 5;
    t.wSecond = 1;
    EXPECT_EQ(ReportFileName(L'c', t), L"C-20260307-090501.json");

    engine_test::TempTree tree(L"reports");
    EXPECT_EQ(UnusedReportPath(tree.root(), L"C-1.json"), tree.root() + L"\\C-1.json");
    tree.AddFile(L"C-1.json", 1);
    tree.AddFile(L"C-1-2.json", 1);
    EXPECT_EQ(UnusedReportPath(tree.root(), L"C-1.json"), tree.root() + L"\\C-1-3.json");
}

TEST(ReportStore, WritesWholeFilesOrNothingAndLeavesNoTemporaryFile) {
    engine_test::TempTree tree(L"atomic");
    const std::wstring path = tree.root() + L"\\report.json";
    ASSERT_HRESULT_SUCCEEDED(WriteFileAtomically(path, "{\"first\": 1}"));
    ASSERT_HRESULT_SUCCEEDED(WriteFileAtomically(path, "{\"second\": 2}"));
    EXPECT_EQ(engine_test::ReadFileBytes(path), "{\"second\": 2}");

    const std::atomic<bool> abandon{true};
    const std::wstring dropped = tree.root() + L"\\dropped.json";
    EXPECT_HRESULT_SUCCEEDED(WriteFileAtomically(dropped, "{}", &abandon));
    EXPECT_EQ(::GetFileAttributesW(dropped.c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_HRESULT_FAILED(WriteFileAtomically(tree.root() + L"\\no such folder\\r.json", "{}"));

    const auto census = engine_test::TakeCensus(tree.root());
    EXPECT_EQ(census.files, 1u) << "a temporary file was left behind";
}

TEST(ReportStore, CreatesTheReportsFolderUnderLocalAppData) {
    std::wstring folder;
    ASSERT_HRESULT_SUCCEEDED(EnsureReportsFolder(folder));
    EXPECT_EQ(folder, engine_test::ReportsFolder());
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
