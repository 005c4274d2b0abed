// The product as shipped: the program with its own style manager and engine,
// found through its manifest, analysing a real drive of the test prefix.
#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "program_under_test.h"
#include "test_support.h"
#include "wizard/control_ids.h"

namespace orvane::blackbox {
namespace {

std::filesystem::path ReportFolder() {
    unique_cotaskmem_string base;
    std::filesystem::path folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, base.put())))
        folder = std::filesystem::path(base.get()) / L"Mevrak" / L"Orvane Analyzer" / L"Reports";
    return folder;
}

// JSON reports of `drive` ("D") written since the given time.
std::vector<std::filesystem::path> NewReports(const std::wstring& drive,
                                              std::filesystem::file_time_type since) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ReportFolder(), error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.rfind(drive + L"-", 0) == 0 && entry.path().extension() == L".json" &&
            entry.last_write_time() >= since)
            found.push_back(entry.path());
    }
    return found;
}

int NewReportsOfD(std::filesystem::file_time_type since) {
    return static_cast<int>(NewReports(L"D", since).size());
}

// Checks only `drive`, runs to Finish and ends the program with it.
void RunToFinish(ProgramUnderTest& program, const std::wstring& drive) {
    ASSERT_EQ("", program.failure());
    ASSERT_NE(nullptr, program.WaitUntilReady()) << "the wizard did not come up";
    ASSERT_TRUE(CheckOnly(program, drive));
    Click(program.Control(ids::cmdNext));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Control(ids::cmdCancel)) == L"Finish"; }))
        << "the run did not finish";
    Click(program.Control(ids::cmdCancel));
    const auto exit_code = program.WaitForExit();
    ASSERT_TRUE(exit_code.has_value()) << "Finish did not end the program";
    EXPECT_EQ(*exit_code, 0u);
}

TEST(RealComponents, AnalysingADriveEndsInFinishAndWritesItsReport) {
    if (!TestDrivesPrepared()) GTEST_SKIP() << "needs the test drives of ./orvane test";
    const auto started = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(2);
    ProgramUnderTest program(StartOptions().RealComponents());
    ASSERT_EQ("", program.failure());
    ASSERT_NE(nullptr, program.WaitUntilReady()) << "the wizard did not come up";
    ASSERT_TRUE(CheckOnly(program, L"D"));

    Click(program.Control(ids::cmdNext));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Control(ids::cmdCancel)) == L"Finish"; }))
        << "the run did not finish";
    EXPECT_EQ(Text(program.Control(ids::lblTitle)), L"Analyzing...Done");
    EXPECT_EQ(ProgressPosition(program.Control(ids::pbDiskProgress)), 100);
    EXPECT_EQ(Text(program.Control(ids::lblDiskProgStatus)), L"Scanning D:");
    // The last tick showed a folder of D: and a count without the word.
    const std::wstring folder = Text(program.Control(ids::lblFolderName));
    const std::wstring count = Text(program.Control(ids::lblFileFldCount));
    if (!count.empty()) {
        EXPECT_EQ(folder.rfind(L"D:", 0), 0u) << Narrow(folder);
        EXPECT_EQ(count.find(L"scanned"), std::wstring::npos) << Narrow(count);
    }
    SaveScreenshot(L"blackbox-real-components-finished", WindowRect(program.wizard()));
    EXPECT_EQ(NewReportsOfD(started), 1);

    Click(program.Control(ids::cmdCancel));
    const auto exitCode = program.WaitForExit();
    ASSERT_TRUE(exitCode.has_value()) << "Finish did not end the program";
    EXPECT_EQ(*exitCode, 0u);
}

// A drive whose raw device is an NTFS image (made by the native tests; Wine
// gives a drive such a device, and runs programs as administrator): the
// wizard's run reads its file table.
TEST(RealComponents, AnNtfsDriveIsAnalysedThroughItsFileTable) {
    if (!TestDrivesPrepared()) GTEST_SKIP() << "needs the test drives of ./orvane test";
    const wchar_t* image = _wgetenv(L"ORVANE_NTFS_IMAGE");
    if (!image || ::GetFileAttributesW(image) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "the native tests make the image (ORVANE_NTFS_IMAGE)";
    engine_test::TempTree folder(L"ntfs-wizard");
    engine_test::MappedDrive drive(folder.root(), image);
    ASSERT_TRUE(drive.ok());
    const std::wstring letter = drive.drive().substr(0, 1);
    const auto started = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(2);
    ProgramUnderTest program(StartOptions().RealComponents());
    RunToFinish(program, letter);
    const auto reports = NewReports(letter, started);
    ASSERT_EQ(reports.size(), 1u);
    std::ifstream in(reports[0], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\"method\": \"file_table\""), std::string::npos);
    std::error_code error;
    std::filesystem::remove(reports[0], error);
    std::filesystem::remove(std::filesystem::path(reports[0]).replace_extension(L".html"), error);
}

// Puts a file where the reports folder goes, so that no report can be
// saved, and puts the folder back afterwards.
class BlockedReportsFolder {
public:
    BlockedReportsFolder() : folder_(ReportFolder()), kept_(folder_.wstring() + L"-kept") {
        std::error_code error;
        std::filesystem::create_directories(folder_.parent_path(), error);
        if (std::filesystem::exists(folder_, error)) std::filesystem::rename(folder_, kept_, error);
        const unique_file blocker(::CreateFileW(folder_.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        blocked_ = static_cast<bool>(blocker);
    }
    ~BlockedReportsFolder() {
        std::error_code error;
        std::filesystem::remove(folder_, error);
        if (std::filesystem::exists(kept_, error)) std::filesystem::rename(kept_, folder_, error);
    }
    bool blocked() const { return blocked_; }

private:
    std::filesystem::path folder_, kept_;
    bool blocked_ = false;
};

TEST(RealComponents, AReportThatCannotBeSavedIsExplainedInTheErrorReport) {
    if (!TestDrivesPrepared()) GTEST_SKIP() << "needs the test drives of ./orvane test";
    const BlockedReportsFolder blocked;
    ASSERT_TRUE(blocked.blocked()) << "could not put a file in place of the reports folder";
    ProgramUnderTest program(StartOptions().RealComponents());
    ASSERT_EQ("", program.failure());
    ASSERT_NE(nullptr, program.WaitUntilReady()) << "the wizard did not come up";
    ASSERT_TRUE(CheckOnly(program, L"D"));

    Click(program.Control(ids::cmdNext));
    std::optional<MessageBoxInfo> report;
    ASSERT_TRUE(WaitUntil([&] {
        for (const MessageBoxInfo& box : MessageBoxes(program.process().id()))
            if (IsErrorReport(box)) report = box;
        return report.has_value();
    })) << "no error report";
    ::Sleep(300);  // let the box paint before the picture is taken
    SaveScreenshot(L"blackbox-report-not-saved");
    // The number stays the failure code; the text is the engine's sentence:
    // the drive, what failed, and the system's reason.
    EXPECT_EQ(ErrorReportNumber(*report),
              static_cast<long>(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)))
        << Narrow(report->text);
    EXPECT_NE(report->text.find(L"drive D:"), std::wstring::npos) << Narrow(report->text);
    EXPECT_NE(report->text.find(L"reports folder"), std::wstring::npos) << Narrow(report->text);
    EXPECT_EQ(report->text.find(L"Automation error"), std::wstring::npos) << Narrow(report->text);
    Answer(*report, IDOK);
    const auto exit_code = program.WaitForExit();
    ASSERT_TRUE(exit_code.has_value());
    EXPECT_NE(*exit_code, 0u);
}

}  // namespace
}  // namespace orvane::blackbox
