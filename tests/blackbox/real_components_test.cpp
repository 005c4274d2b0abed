// The product as shipped: the program with its own style manager and engine,
// found through its manifest, analysing a real drive of the test prefix.
#include <shlobj.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// The newest page of a report of drive D: written since the given time.
std::wstring NewestPageOfD(std::filesystem::file_time_type since) {
    std::wstring newest;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ReportFolder(), error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.rfind(L"D-", 0) == 0 && entry.path().extension() == L".html" &&
            entry.last_write_time() >= since && name > newest)
            newest = name;
    }
    return newest;
}

// A registry value for one test, put back as it was when the test ends.
class ScopedRegistryText {
public:
    ScopedRegistryText(HKEY root, const wchar_t* key, const wchar_t* name, const std::wstring& text)
        : root_(root), key_(key), name_(name ? name : L"") {
        HKEY opened = nullptr;
        if (::RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                              nullptr) != ERROR_SUCCESS)
            return;
        wchar_t before[1024] = {};
        DWORD size = sizeof(before) - sizeof(wchar_t), type = 0;
        had_ = ::RegQueryValueExW(opened, ValueName(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(before), &size) == ERROR_SUCCESS;
        if (had_) before_ = before;
        set_ = ::RegSetValueExW(
                   opened, ValueName(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        ::RegCloseKey(opened);
    }
    ScopedRegistryText(const ScopedRegistryText&) = delete;
    ScopedRegistryText& operator=(const ScopedRegistryText&) = delete;
    ~ScopedRegistryText() {
        HKEY opened = nullptr;
        if (::RegOpenKeyExW(root_, key_.c_str(), 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS)
            return;
        if (had_) {
            ::RegSetValueExW(opened, ValueName(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(before_.c_str()),
                             static_cast<DWORD>((before_.size() + 1) * sizeof(wchar_t)));
        } else {
            ::RegDeleteValueW(opened, ValueName());
        }
        ::RegCloseKey(opened);
    }
    bool set() const { return set_; }

private:
    const wchar_t* ValueName() const { return name_.empty() ? nullptr : name_.c_str(); }
    HKEY root_;
    std::wstring key_, name_, before_;
    bool had_ = false, set_ = false;
};

// Under Wine a page opens through winebrowser, which starts the first
// program named in HKCU\Software\Wine\WineBrowser "Browsers": here a script
// that writes down each address it is given. Pages are associated with it
// as a default browser is on Windows (this Wine, without its own browser
// engine, associates none).
class RecordingBrowser {
public:
    RecordingBrowser()
        : log_(
              HostPathToWindows(Narrow(EnvironmentValue(L"WINEPREFIX")) + "/recorded-browser.log")),
          browsers_(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", L"Browsers",
                    Widen(ORVANE_RECORDING_BROWSER)),
          pages_(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.html", nullptr, L"htmlfile") {
        ::DeleteFileW(log_.c_str());
    }
    RecordingBrowser(const RecordingBrowser&) = delete;
    RecordingBrowser& operator=(const RecordingBrowser&) = delete;
    ~RecordingBrowser() { ::DeleteFileW(log_.c_str()); }
    // Only Wine has winebrowser to ask.
    static bool Available() {
        return ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name") &&
               !EnvironmentValue(L"WINEPREFIX").empty();
    }
    bool ready() const { return browsers_.set() && pages_.set(); }
    // The addresses opened so far, one a line.
    std::string Opened() const {
        std::ifstream in{std::filesystem::path(log_)};
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::wstring log_;
    ScopedRegistryText browsers_, pages_;
};

TEST(RealComponents, AnalysingADriveEndsInFinishWritesItsReportAndOffersToOpenIt) {
    if (!TestDrivesPrepared()) GTEST_SKIP() << "needs the test drives of ./orvane test";
    const auto started = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(2);
    std::optional<RecordingBrowser> browser;
    if (RecordingBrowser::Available()) browser.emplace();
    ProgramUnderTest program(StartOptions().RealComponents());
    ASSERT_EQ("", program.failure());
    ASSERT_NE(nullptr, program.WaitUntilReady()) << "the wizard did not come up";
    ASSERT_TRUE(CheckOnly(program, L"D"));
    EXPECT_FALSE(Visible(program.Control(ids::lnkViewReport))) << "no report before the run";

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
    EXPECT_FALSE(Visible(program.Control(ids::txtRunProblems))) << "nothing went wrong";

    // The finished page offers the report and opens it in the browser.
    const HWND link = program.Control(ids::lnkViewReport);
    ASSERT_TRUE(Visible(link));
    EXPECT_EQ(Text(link), L"View the report");
    if (browser) {
        ASSERT_TRUE(browser->ready());
        Click(link);
        ASSERT_TRUE(WaitUntil([&] { return !browser->Opened().empty(); }))
            << "the link opened nothing";
        const std::string opened = browser->Opened();
        const std::string page = Narrow(NewestPageOfD(started));
        ASSERT_FALSE(page.empty());
        EXPECT_EQ(opened.rfind("file://", 0), 0u) << opened;
        EXPECT_NE(opened.find("/" + page + "\n"), std::string::npos) << opened << " " << page;
        // From the keyboard as well: Enter, then Space, as on a button.
        const std::string once = browser->Opened();
        ::PostMessageW(link, WM_KEYDOWN, VK_RETURN, 0);
        ASSERT_TRUE(WaitUntil([&] { return browser->Opened() == once + once; }))
            << "Enter: " << browser->Opened();
        ::PostMessageW(link, WM_KEYDOWN, VK_SPACE, 0);
        ::PostMessageW(link, WM_KEYUP, VK_SPACE, 0xC0000000);
        EXPECT_TRUE(WaitUntil([&] { return browser->Opened() == once + once + once; }))
            << "Space: " << browser->Opened();
    }

    Click(program.Control(ids::cmdCancel));
    const auto exitCode = program.WaitForExit();
    ASSERT_TRUE(exitCode.has_value()) << "Finish did not end the program";
    EXPECT_EQ(*exitCode, 0u);
}

// Several drives: one link to the index that lists their reports.
TEST(RealComponents, ARunOfSeveralDrivesOffersTheReportsIndex) {
    if (!TestDrivesPrepared()) GTEST_SKIP() << "needs the test drives of ./orvane test";
    if (!RecordingBrowser::Available()) GTEST_SKIP() << "needs Wine's winebrowser";
    RecordingBrowser browser;
    ASSERT_TRUE(browser.ready());
    ProgramUnderTest program(StartOptions().RealComponents());
    ASSERT_EQ("", program.failure());
    ASSERT_NE(nullptr, program.WaitUntilReady()) << "the wizard did not come up";
    ASSERT_TRUE(CheckOnly(program, L"DH"));
    Click(program.Control(ids::cmdNext));
    ASSERT_TRUE(WaitUntil([&] { return Text(program.Control(ids::cmdCancel)) == L"Finish"; }))
        << "the run did not finish";
    const HWND link = program.Control(ids::lnkViewReport);
    ASSERT_TRUE(Visible(link));
    EXPECT_EQ(Text(link), L"View the reports");
    Click(link);
    ASSERT_TRUE(WaitUntil([&] { return !browser.Opened().empty(); })) << "the link opened nothing";
    const std::string opened = browser.Opened();
    EXPECT_EQ(opened.rfind("file://", 0), 0u) << opened;
    EXPECT_NE(opened.find("/Reports/index.html\n"), std::string::npos) << opened;
    Click(program.Control(ids::cmdCancel));
    ASSERT_TRUE(program.WaitForExit().has_value()) << "Finish did not end the program";
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

// Reports that cannot be saved end nothing: every ticked drive is analysed,
// the page says why there are no reports, and it offers none.
TEST(RealComponents, ARunWhoseReportsCannotBeSavedReachesFinishAndSaysWhy) {
    if (!TestDrivesPrepared()) GTEST_SKIP() << "needs the test drives of ./orvane test";
    const BlockedReportsFolder blocked;
    ASSERT_TRUE(blocked.blocked()) << "could not put a file in place of the reports folder";
    ProgramUnderTest program(StartOptions().RealComponents());
    ASSERT_EQ("", program.failure());
    ASSERT_NE(nullptr, program.WaitUntilReady()) << "the wizard did not come up";
    ASSERT_TRUE(CheckOnly(program, L"DH"));

    Click(program.Control(ids::cmdNext));
    ASSERT_TRUE(WaitUntil([&] {
        for (const MessageBoxInfo& box : MessageBoxes(program.process().id()))
            if (IsErrorReport(box)) return true;
        return Text(program.Control(ids::cmdCancel)) == L"Finish";
    }));
    for (const MessageBoxInfo& box : MessageBoxes(program.process().id()))
        ADD_FAILURE() << "a box came up: " << Narrow(box.text);
    ASSERT_EQ(Text(program.Control(ids::cmdCancel)), L"Finish");
    EXPECT_EQ(Text(program.Control(ids::lblDiskCount)), L"Disk 2 of 2");
    EXPECT_EQ(Text(program.Control(ids::lblDiskProgStatus)), L"Scanning H:");
    EXPECT_EQ(ProgressPosition(program.Control(ids::pbOverallProgress)), 100);

    EXPECT_FALSE(Visible(program.Control(ids::lnkViewReport))) << "there is no report to open";
    const HWND note = program.Control(ids::txtRunProblems);
    ASSERT_TRUE(Visible(note));
    const std::wstring text = Text(note);
    // The engine's sentences: each drive, what failed and the system's reason.
    EXPECT_NE(text.find(L"The analysis of drive D: could not be saved: the reports folder"),
              std::wstring::npos)
        << Narrow(text);
    EXPECT_NE(text.find(L"The analysis of drive H: could not be saved: the reports folder"),
              std::wstring::npos)
        << Narrow(text);
    EXPECT_FALSE(Visible(program.Control(ids::lblFolderName))) << "the note takes its place";
    SaveScreenshot(L"blackbox-reports-not-saved", WindowRect(program.wizard()));

    Click(program.Control(ids::cmdCancel));
    const auto exit_code = program.WaitForExit();
    ASSERT_TRUE(exit_code.has_value()) << "Finish did not end the program";
    EXPECT_EQ(*exit_code, 0u);
}

}  // namespace
}  // namespace orvane::blackbox
