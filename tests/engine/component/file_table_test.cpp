// The component on a drive whose raw device is an NTFS image (made by the
// native tests with ntfs-3g): the drive's file table is read, and its
// report says so to the byte. A drive without one is walked, and its report
// says why.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "../core/report_sink.h"
#include "orvane/win32_handles.h"
#include "test_support.h"

namespace {

using engine_test::EngineDll;
using engine_test::EnginePtr;
using engine_test::MappedDrive;
using engine_test::TempTree;

// The image the native tests made, as a Windows path; empty when they did
// not run first.
std::wstring NtfsImage() {
    const wchar_t* path = _wgetenv(L"ORVANE_NTFS_IMAGE");
    if (!path || ::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return {};
    return path;
}

// The drive's one report, parsed.
engine_test::Json ReportOf(wchar_t letter) {
    const auto reports = engine_test::ReportFiles(letter);
    engine_test::Json report;
    EXPECT_EQ(reports.size(), 1u);
    if (!reports.empty()) {
        const std::string bytes = engine_test::ReadFileBytes(reports[0]);
        EXPECT_TRUE(engine_test::ParseJson(bytes, report));
        orvane::engine::testing::KeepForSchemaCheck(bytes, "component-file-table");
    }
    return report;
}

unsigned long long Field(const engine_test::Json& object, const char* key) {
    const engine_test::Json* value = object.Find(key);
    return value ? value->AsUnsigned() : ~0ull;
}

class ComponentFileTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dll_.loaded());
        orvane::IAnalysisEngine* raw = nullptr;
        ASSERT_HRESULT_SUCCEEDED(dll_.Create(&raw));
        engine_.reset(raw);
    }
    void TearDown() override {
        engine_.reset();
        engine_test::DrainMessages();
    }
    EngineDll dll_;
    EnginePtr engine_;
    TempTree folder_{L"ntfs-drive"};
};

TEST_F(ComponentFileTable, ReadsTheTableOfAnNtfsDriveAndAccountsForEveryUsedByte) {
    const std::wstring image = NtfsImage();
    if (image.empty()) GTEST_SKIP() << "the native tests make the image (ORVANE_NTFS_IMAGE)";
    MappedDrive drive(folder_.root(), image);
    ASSERT_TRUE(drive.ok());
    const wchar_t letter = drive.drive()[0];
    engine_test::RemoveReports(letter);
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, drive.drive()));
    const auto fields = engine_test::SplitStatus(engine_test::StatusText(*engine_));
    ASSERT_TRUE(fields.well_formed);
    ASSERT_HRESULT_SUCCEEDED(engine_->FinishDrive());

    const engine_test::Json report = ReportOf(letter);
    const engine_test::Json* method = report.Find("method");
    ASSERT_TRUE(method);
    EXPECT_EQ(method->text, "file_table");
    const engine_test::Json* totals = report.Find("totals");
    const engine_test::Json* ledger = report.Find("ledger");
    ASSERT_TRUE(totals && ledger && ledger->Find("explained"));
    EXPECT_EQ(Field(*totals, "entries"),
              static_cast<unsigned long long>(engine_test::ParseGroupedCount(fields.count)));
    EXPECT_GT(Field(*totals, "files"), 3000u);
    EXPECT_EQ(ledger->Find("remainder_bytes")->number, "0");
    EXPECT_EQ(Field(*report.Find("file_table"), "damaged_records"), 0u);
    engine_test::RemoveReports(letter);
}

// orvane-scan.exe beside the tests, run to its end; its exit code.
DWORD RunScanner(const std::wstring& arguments) {
    std::wstring command = L"orvane-scan.exe " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &process))
        return ~DWORD{0};
    const orvane::unique_handle thread(process.hThread);
    const orvane::unique_handle handle(process.hProcess);
    DWORD code = ~DWORD{0};
    if (::WaitForSingleObject(handle.get(), 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(handle.get(), &code);
    return code;
}

TEST_F(ComponentFileTable, TheCommandLineScannerReadsTheSameDrivesTable) {
    const std::wstring image = NtfsImage();
    if (image.empty()) GTEST_SKIP() << "the native tests make the image (ORVANE_NTFS_IMAGE)";
    MappedDrive drive(folder_.root(), image);
    ASSERT_TRUE(drive.ok());
    const std::wstring json = folder_.root() + L"\\report.json";
    ASSERT_EQ(RunScanner(L"--quiet --method file-table --json \"" + json + L"\" " + drive.drive()),
              0u);
    engine_test::Json report;
    ASSERT_TRUE(engine_test::ParseJson(engine_test::ReadFileBytes(json), report));
    ASSERT_TRUE(report.Find("method"));
    EXPECT_EQ(report.Find("method")->text, "file_table");
    EXPECT_EQ(report.Find("ledger")->Find("remainder_bytes")->number, "0");
    // Asked for a table where there is none, it fails rather than walk.
    MappedDrive plain(folder_.root());
    ASSERT_TRUE(plain.ok());
    EXPECT_EQ(RunScanner(L"--quiet --method file-table " + plain.drive()), 1u);
}

TEST_F(ComponentFileTable, WalksADriveWithoutATableAndSaysWhy) {
    folder_.AddFile(L"a.txt", 10);
    MappedDrive drive(folder_.root());
    ASSERT_TRUE(drive.ok());
    const wchar_t letter = drive.drive()[0];
    engine_test::RemoveReports(letter);
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, drive.drive()));
    ASSERT_HRESULT_SUCCEEDED(engine_->FinishDrive());
    const engine_test::Json report = ReportOf(letter);
    ASSERT_TRUE(report.Find("method"));
    EXPECT_EQ(report.Find("method")->text, "walk");
    const engine_test::Json* why = report.Find("file_table_unavailable");
    ASSERT_TRUE(why);
    EXPECT_FALSE(why->text.empty());
    EXPECT_EQ(Field(*report.Find("totals"), "files"), 1u);
    engine_test::RemoveReports(letter);
}

}  // namespace
