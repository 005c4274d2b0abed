// AnalysisEngine.dll through its interface, as the wizard uses it: drives
// scanned while the caller's window messages keep flowing, cancelled from
// a timer of the caller, and reported in a JSON file.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "../core/report_sink.h"
#include "orvane/win32_handles.h"
#include "test_support.h"

namespace {

using engine_test::EngineDll;
using engine_test::EnginePtr;
using engine_test::MappedDrive;
using engine_test::TempTree;
using engine_test::TickWindow;

bool IsPlainDigits(const std::wstring& text) {
    return !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
}

// Sizes as the file system states them for each object, by a different
// call than the engine's listings, with hard-linked data once.
struct Expected {
    std::uint64_t entries = 0;
    std::uint64_t allocated = 0;
    std::uint64_t apparent = 0;
};

void AddSizesOf(const std::wstring& path, bool folder, std::set<std::uint64_t>& seen,
                Expected& out) {
    const orvane::unique_file handle(::CreateFileW(
        engine_test::Extended(path).c_str(), FILE_READ_ATTRIBUTES, 7, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    ASSERT_TRUE(handle);
    FILE_STANDARD_INFO standard{};
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(
        ::GetFileInformationByHandleEx(handle.get(), FileStandardInfo, &standard, sizeof standard));
    ASSERT_TRUE(::GetFileInformationByHandle(handle.get(), &info));
    ++out.entries;
    const std::uint64_t id =
        (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    if (!folder && !seen.insert(id).second) return;
    out.allocated += static_cast<std::uint64_t>(standard.AllocationSize.QuadPart);
    out.apparent += static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
}

Expected Measure(const std::wstring& root) {
    Expected expected;
    std::set<std::uint64_t> seen;
    AddSizesOf(root, true, seen, expected);
    std::vector<std::wstring> folders{root};
    while (!folders.empty()) {
        const std::wstring folder = std::move(folders.back());
        folders.pop_back();
        engine_test::ForEachEntry(folder, [&](const WIN32_FIND_DATAW& data) {
            const std::wstring path = folder + L"\\" + data.cFileName;
            AddSizesOf(path, engine_test::IsFolderToEnter(data), seen, expected);
            if (engine_test::IsFolderToEnter(data)) folders.push_back(path);
        });
    }
    return expected;
}

class AnalysisEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dll_ = new EngineDll(); }
    static void TearDownTestSuite() {
        delete big_drive_;
        delete big_;
        delete dll_;
        big_drive_ = nullptr;
        big_ = nullptr;
    }

    // One big tree for the tests that need a scan to be under way when their
    // timer fires, a crowded folder and a spread of small ones; built once,
    // by the first test that asks.
    static const MappedDrive& BigDrive() {
        if (!big_drive_) {
            std::wstring root = engine_test::PreparedBigTree();
            if (root.empty()) {
                big_ = new TempTree(L"big");
                for (int i = 0; i < 5000; ++i) big_->AddFile(L"crowd\\f" + std::to_wstring(i), 0);
                for (int i = 0; i < 200; ++i) {
                    big_->AddFile(L"spread\\" + std::to_wstring(i % 20) + L"\\" +
                                      std::to_wstring(i) + L"\\x.txt",
                                  100);
                }
                root = big_->root();
            }
            big_drive_ = new MappedDrive(root);
            big_census_ = engine_test::TakeCensus(root);
        }
        return *big_drive_;
    }
    static long long BigTotal() { return static_cast<long long>(Total(big_census_)); }

    void SetUp() override {
        ASSERT_TRUE(dll_->loaded()) << "AnalysisEngine.dll beside the test program";
        orvane::IAnalysisEngine* raw = nullptr;
        ASSERT_HRESULT_SUCCEEDED(dll_->Create(&raw));
        engine_.reset(raw);
    }
    void TearDown() override {
        engine_.reset();
        engine_test::DrainMessages();
    }

    static std::uint64_t Total(const engine_test::Census& census) {
        return census.files + census.folders;
    }
    long long ScannedCount() {
        const auto fields = engine_test::SplitStatus(engine_test::StatusText(*engine_));
        return fields.well_formed ? engine_test::ParseGroupedCount(fields.count) : -1;
    }

    static EngineDll* dll_;
    static TempTree* big_;
    static MappedDrive* big_drive_;
    static engine_test::Census big_census_;
    EnginePtr engine_;
};

EngineDll* AnalysisEngineTest::dll_ = nullptr;
TempTree* AnalysisEngineTest::big_ = nullptr;
MappedDrive* AnalysisEngineTest::big_drive_ = nullptr;
engine_test::Census AnalysisEngineTest::big_census_;

TEST_F(AnalysisEngineTest, WhenIdleAnswersSoundTextsAndRefusesWhatItDoesNotDo) {
    const auto fields = engine_test::SplitStatus(engine_test::StatusText(*engine_));
    ASSERT_TRUE(fields.well_formed) << "field 0 must keep a character for the wizard to drop";
    EXPECT_EQ(fields.count, L"0");
    EXPECT_EQ(engine_test::BytesScanned(*engine_), L"0");
    EXPECT_HRESULT_SUCCEEDED(engine_->Cancel());
    EXPECT_HRESULT_SUCCEEDED(engine_->Cancel());
    EXPECT_HRESULT_SUCCEEDED(engine_->FinishDrive()) << "nothing to finish is no failure";
    EXPECT_EQ(engine_->GetStatusText(nullptr), E_POINTER);
    EXPECT_EQ(engine_->GetBytesScanned(nullptr), E_POINTER);
    EXPECT_EQ(engine_->Reserved1(), E_NOTIMPL);
    EXPECT_EQ(engine_->Reserved3(), E_NOTIMPL);
    EXPECT_EQ(engine_->Reserved16(), E_NOTIMPL);
    for (const wchar_t* bad : {L"", L"C", L"CC:", L"1:", L"C:\\Windows"}) {
        EXPECT_EQ(engine_test::Analyze(*engine_, bad), E_INVALIDARG) << bad;
    }
    EXPECT_EQ(engine_->AnalyzeDrive(nullptr), E_INVALIDARG);
}

TEST_F(AnalysisEngineTest, ScansAMappedDriveAndWritesItsReportAtomically) {
    TempTree tree(L"small");
    tree.AddFile(L"Data\\readme.txt", 7);
    tree.AddFile(L"Data\\Photos\\picture.raw", 65536);
    tree.AddFile(L"\u00c4lbum \u00fcn\u00efcode\\track.mp3", 4000);
    tree.AddFile(L"Archive\\Old\\Older\\Oldest\\backup.zip", 300000);
    tree.AddFile(L"Archive\\empty-1", 0);
    tree.AddFile(L"Archive\\empty-2", 0);
    tree.AddFolder(L"Empty");
    // A second name for the same data: counted as an entry, its data once.
    ASSERT_TRUE(::CreateHardLinkW(
        engine_test::Extended(tree.root() + L"\\backup-link.zip").c_str(),
        engine_test::Extended(tree.root() + L"\\Archive\\Old\\Older\\Oldest\\backup.zip").c_str(),
        nullptr));
    const Expected expected = Measure(tree.root());
    MappedDrive drive(tree.root());
    ASSERT_TRUE(drive.ok());
    const wchar_t letter = drive.drive()[0];
    engine_test::RemoveReports(letter);

    // A Cancel while nothing runs must not cut the next scan short.
    ASSERT_HRESULT_SUCCEEDED(engine_->Cancel());
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, drive.drive()));

    const auto fields = engine_test::SplitStatus(engine_test::StatusText(*engine_));
    ASSERT_TRUE(fields.well_formed);
    EXPECT_EQ(fields.folder, drive.drive()) << "a finished scan shows its drive";
    EXPECT_EQ(engine_test::ParseGroupedCount(fields.count),
              static_cast<long long>(expected.entries));
    const std::wstring bytes = engine_test::BytesScanned(*engine_);
    ASSERT_TRUE(IsPlainDigits(bytes)) << std::string(bytes.begin(), bytes.end());
    EXPECT_EQ(std::stoull(bytes), expected.allocated);

    ASSERT_HRESULT_SUCCEEDED(engine_->FinishDrive());
    const auto reports = engine_test::ReportFiles(letter);
    ASSERT_EQ(reports.size(), 1u);
    const std::wstring name = reports[0].substr(reports[0].rfind(L'\\') + 1);
    // "Q-YYYYMMDD-HHMMSS.json"
    EXPECT_EQ(name.size(), 22u);
    EXPECT_EQ(name.substr(name.size() - 5), L".json");
    engine_test::Json report;
    ASSERT_TRUE(engine_test::ParseJson(engine_test::ReadFileBytes(reports[0]), report));
    const engine_test::Json* totals = report.Find("totals");
    ASSERT_TRUE(totals);
    auto total = [&](const char* key) {
        const engine_test::Json* value = totals->Find(key);
        return value ? value->AsUnsigned() : ~0ull;
    };
    EXPECT_EQ(total("files") + total("folders"), expected.entries);
    EXPECT_EQ(total("folders"), 9u);
    EXPECT_EQ(total("allocated_bytes"), expected.allocated);
    EXPECT_EQ(total("apparent_bytes"), expected.apparent);
    EXPECT_EQ(total("unreadable_folders"), 0u);
    const engine_test::Json* largest = report.Find("largest_files");
    ASSERT_TRUE(largest && !largest->items.empty());
    const engine_test::Json* path = largest->items[0].Find("path");
    ASSERT_TRUE(path);
    EXPECT_NE(path->text.find("backup"), std::string::npos);

    // Only the finished file is there: the temporary one was renamed.
    int temporary_files = 0;
    engine_test::ForEachEntry(engine_test::ReportsFolder(), [&](const WIN32_FIND_DATAW& data) {
        temporary_files += std::wstring_view(data.cFileName).ends_with(L".tmp");
    });
    EXPECT_EQ(temporary_files, 0) << "a temporary report was left behind";

    // The drive is finished: a second FinishDrive writes nothing more.
    EXPECT_HRESULT_SUCCEEDED(engine_->FinishDrive());
    EXPECT_EQ(engine_test::ReportFiles(letter).size(), 1u);
    orvane::engine::testing::KeepForSchemaCheck(engine_test::ReadFileBytes(reports[0]),
                                                "component");
    engine_test::RemoveReports(letter);
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring PageOf(const std::wstring& json) { return json.substr(0, json.size() - 5) + L".html"; }

std::string Utf8Name(const std::wstring& path) {
    const std::wstring name = path.substr(path.rfind(L'\\') + 1);
    return std::string(name.begin(), name.end());  // our report names are ASCII
}

engine_test::Json ParsedReport(const std::wstring& path) {
    engine_test::Json report;
    const std::string bytes = engine_test::ReadFileBytes(path);
    EXPECT_TRUE(engine_test::ParseJson(bytes, report)) << Utf8Name(path);
    orvane::engine::testing::KeepForSchemaCheck(bytes, "component");
    return report;
}

// Copies of `report` as if written on earlier days: "Q-2020010N-000000.json"
// started on 2020-01-0N, each with its page.
void PlantEarlierReports(const std::wstring& report, wchar_t letter, int count) {
    const std::string bytes = engine_test::ReadFileBytes(report);
    const std::string key = "\"started_at\": \"";
    const std::size_t at = bytes.find(key) + key.size();
    for (int day = 1; day <= count; ++day) {
        char date[16];
        std::snprintf(date, sizeof date, "202001%02d", day);
        std::string copy = bytes;
        copy.replace(at, 20,
                     std::string(date, 4) + "-01-" + std::string(date + 6, 2) + "T00:00:00Z");
        const std::wstring base = engine_test::ReportsFolder() + L"\\" + std::wstring(1, letter) +
                                  L"-" + std::wstring(date, date + 8) + L"-000000";
        for (const auto& [path, content] :
             {std::pair{base + L".json", copy}, std::pair{base + L".html", std::string("x")}}) {
            const orvane::unique_file file(
                ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            DWORD written = 0;
            ASSERT_TRUE(file && ::WriteFile(file.get(), content.data(),
                                            static_cast<DWORD>(content.size()), &written, nullptr));
        }
    }
}

TEST_F(AnalysisEngineTest, ASecondRunListsWhatChangedTheIndexListsBothAndOldReportsAreRetired) {
    TempTree tree(L"changing");
    tree.AddFile(L"Data\\readme.txt", 7);
    tree.AddFile(L"Photos\\a.raw", 65536);
    MappedDrive drive(tree.root());
    ASSERT_TRUE(drive.ok());
    const wchar_t letter = drive.drive()[0];
    engine_test::RemoveReports(letter);
    auto run = [&] {
        ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, drive.drive()));
        ASSERT_HRESULT_SUCCEEDED(engine_->FinishDrive());
    };
    run();
    const auto first = engine_test::ReportFiles(letter);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(Exists(PageOf(first[0]))) << "the page beside the JSON";
    const engine_test::Json before = ParsedReport(first[0]);
    EXPECT_FALSE(before.Find("changes")) << "a first report has nothing to compare with";
    ASSERT_TRUE(before.Find("ledger")) << "a drive root is a whole volume";

    ::Sleep(1100);  // a later second, so the reports' names tell their order
    tree.AddFile(L"Data\\Grown\\video.bin", 300000);
    run();
    const auto both = engine_test::ReportFiles(letter);
    ASSERT_EQ(both.size(), 2u);
    const engine_test::Json after = ParsedReport(both[1]);
    const engine_test::Json* changes = after.Find("changes");
    ASSERT_TRUE(changes);
    EXPECT_EQ(changes->Find("previous")->Find("started_at")->text, before.Find("started_at")->text);
    bool folder_listed = false, file_listed = false;
    const std::string drive_text(1, static_cast<char>(letter));
    for (const engine_test::Json& change : changes->Find("largest_changes")->items) {
        const std::string& path = change.Find("path")->text;
        const bool appeared = change.Find("change")->text == "new" &&
                              change.Find("allocated_before")->AsUnsigned() == 0 &&
                              change.Find("allocated_after")->AsUnsigned() >= 300000;
        folder_listed |= path == drive_text + ":\\Data\\Grown" &&
                         change.Find("kind")->text == "folder" && appeared;
        file_listed |= path == drive_text + ":\\Data\\Grown\\video.bin" &&
                       change.Find("kind")->text == "file" && appeared;
    }
    EXPECT_TRUE(folder_listed && file_listed);
    const std::string index =
        engine_test::ReadFileBytes(engine_test::ReportsFolder() + L"\\index.html");
    EXPECT_NE(index.find(Utf8Name(PageOf(both[0]))), std::string::npos);
    EXPECT_LT(index.find(Utf8Name(PageOf(both[1]))), index.find(Utf8Name(PageOf(both[0]))))
        << "newest first";

    PlantEarlierReports(both[0], letter, 20);
    run();
    const auto kept = engine_test::ReportFiles(letter);
    EXPECT_EQ(kept.size(), 20u);
    for (int day = 1; day <= 3; ++day) {
        const std::wstring gone = engine_test::ReportsFolder() + L"\\" + std::wstring(1, letter) +
                                  L"-2020010" + std::to_wstring(day) + L"-000000";
        EXPECT_FALSE(Exists(gone + L".json") || Exists(gone + L".html")) << "day " << day;
    }
    EXPECT_TRUE(Exists(engine_test::ReportsFolder() + L"\\" + std::wstring(1, letter) +
                       L"-20200104-000000.json"));
    engine_test::RemoveReports(letter);
}

// The report's tree as text: each folder's name, parent and sizes.
std::string TreeOf(const engine_test::Json& report) {
    std::string text;
    for (const engine_test::Json& folder : report.Find("tree")->Find("folders")->items) {
        const engine_test::Json* parent = folder.Find("parent");
        text += folder.Find("name")->text + " " + (parent ? parent->number : "-") + " " +
                folder.Find("allocated_bytes")->number + "\n";
    }
    return text;
}

// Which name of hard-linked data a worker meets first changes from run to
// run; the folders' sizes must not.
TEST_F(AnalysisEngineTest, AnUnchangedDriveWithHardLinksIsUnchangedRunAfterRun) {
    TempTree tree(L"linked");
    for (int i = 0; i < 8; ++i) {
        const std::wstring name = L"lib" + std::to_wstring(i) + L".dll";
        tree.AddFile(L"System\\" + name, 4096 * (1 + i % 3));
        tree.AddFolder(L"Store\\v1\\x64\\" + std::to_wstring(i));
        tree.AddFolder(L"Apps\\" + std::to_wstring(i) + L"\\bin");
        const std::wstring target = tree.root() + L"\\System\\" + name;
        ASSERT_TRUE(::CreateHardLinkW(
            (tree.root() + L"\\Store\\v1\\x64\\" + std::to_wstring(i) + L"\\" + name).c_str(),
            target.c_str(), nullptr));
        ASSERT_TRUE(::CreateHardLinkW(
            (tree.root() + L"\\Apps\\" + std::to_wstring(i) + L"\\bin\\" + name).c_str(),
            target.c_str(), nullptr));
    }
    MappedDrive drive(tree.root());
    ASSERT_TRUE(drive.ok());
    const wchar_t letter = drive.drive()[0];
    engine_test::RemoveReports(letter);
    std::string first;
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        if (run > 0) ::Sleep(1100);  // a later second, so the reports' names tell their order
        ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, drive.drive()));
        ASSERT_HRESULT_SUCCEEDED(engine_->FinishDrive());
        const auto reports = engine_test::ReportFiles(letter);
        ASSERT_EQ(reports.size(), static_cast<std::size_t>(run + 1));
        const engine_test::Json report = ParsedReport(reports.back());
        if (run == 0) {
            first = TreeOf(report);
            continue;
        }
        EXPECT_EQ(TreeOf(report), first);
        EXPECT_TRUE(report.Find("changes")->Find("largest_changes")->items.empty());
    }
    engine_test::RemoveReports(letter);
}

TEST_F(AnalysisEngineTest, KeepsTheCallersMessagesFlowingAndAnswersFromInsideTheCall) {
    ASSERT_TRUE(BigDrive().ok());
    const std::wstring drive = BigDrive().drive();
    bool inside = false;
    int ticks_inside = 0;
    long long last_count = 0;
    std::wstring unsound;
    TickWindow window(5, [&](TickWindow&) {
        if (!inside) return;
        ++ticks_inside;
        const std::wstring status = engine_test::StatusText(*engine_);
        const auto fields = engine_test::SplitStatus(status);
        const long long count = engine_test::ParseGroupedCount(fields.count);
        const std::wstring bytes = engine_test::BytesScanned(*engine_);
        // The folder being read is on the drive being scanned.
        const bool sound = fields.well_formed && fields.dropped == L'\\' &&
                           fields.folder.compare(0, drive.size(), drive) == 0 &&
                           count >= last_count && IsPlainDigits(bytes);
        if (!sound && unsound.empty()) unsound = status + L" / " + bytes;
        last_count = count;
    });
    inside = true;
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, drive));
    inside = false;
    EXPECT_GT(ticks_inside, 0) << "no timer tick reached the window during the scan";
    EXPECT_TRUE(unsound.empty()) << std::string(unsound.begin(), unsound.end());
    EXPECT_EQ(ScannedCount(), BigTotal());
}

TEST_F(AnalysisEngineTest, CancelFromTheCallersTimerEndsTheScanAndANewOneRunsWhole) {
    ASSERT_TRUE(BigDrive().ok());
    using Clock = std::chrono::steady_clock;
    Clock::time_point cancelled_at{};
    HRESULT cancel_result = E_FAIL;
    TickWindow window(1, [&](TickWindow& self) {
        self.Stop();
        cancelled_at = Clock::now();
        cancel_result = engine_->Cancel();
    });
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, BigDrive().drive()));
    const auto returned_after = Clock::now() - cancelled_at;
    ASSERT_EQ(window.ticks(), 1);
    EXPECT_HRESULT_SUCCEEDED(cancel_result);
    EXPECT_LT(ScannedCount(), BigTotal()) << "the scan ran to its end despite the cancel";
    // Generous: the promise of 200 ms is measured by the benchmark.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(returned_after).count(), 2000);

    // The cancel ended that scan only.
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, BigDrive().drive()));
    EXPECT_EQ(ScannedCount(), BigTotal());
}

TEST_F(AnalysisEngineTest, AQuitMessageEndsTheCallAndIsPostedAgainForTheOuterLoop) {
    ASSERT_TRUE(BigDrive().ok());
    TickWindow window(1, [&](TickWindow& self) {
        self.Stop();
        ::PostQuitMessage(42);
    });
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, BigDrive().drive()));
    EXPECT_LT(ScannedCount(), BigTotal());
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 42u);
}

TEST_F(AnalysisEngineTest, SurvivesNestedCallsAndBeingReleasedFromInsideItsOwnCall) {
    ASSERT_TRUE(BigDrive().ok());
    HRESULT nested_analyze = S_OK;
    HRESULT nested_finish = S_OK;
    orvane::IAnalysisEngine* engine = engine_.get();
    TickWindow window(1, [&](TickWindow& self) {
        self.Stop();
        nested_analyze = engine_test::Analyze(*engine_, BigDrive().drive());
        nested_finish = engine_->FinishDrive();
        // The wizard may go away while the engine works: the last reference
        // is dropped here, inside the call.
        engine_.reset();
    });
    EXPECT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine, BigDrive().drive()));
    EXPECT_HRESULT_FAILED(nested_analyze);
    EXPECT_HRESULT_FAILED(nested_finish);
    EXPECT_FALSE(engine_);
    // The call was the last holder: the object is gone now.
    EXPECT_EQ(dll_->CanUnloadNow(), S_OK);
}

}  // namespace

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::uint64_t ReportTotal(const engine_test::Json& report, const char* key) {
    const engine_test::Json* totals = report.Find("totals");
    const engine_test::Json* value = totals ? totals->Find(key) : nullptr;
    return value ? value->AsUnsigned() : ~0ull;
}

// Run by compare_with_native.sh, which makes the tree on the Linux side and
// scans it natively first.
TEST_F(AnalysisEngineTest, TotalsMatchTheNativeToolOnTheSameTree) {
    const std::wstring tree = Environment(L"ORVANE_ENGINE_COMPARE_TREE");
    const std::wstring native_report = Environment(L"ORVANE_ENGINE_COMPARE_NATIVE");
    const std::wstring folder_bytes = Environment(L"ORVANE_ENGINE_COMPARE_FOLDER_BYTES");
    if (tree.empty() || native_report.empty() || folder_bytes.empty()) {
        GTEST_SKIP() << "run through compare_with_native.sh";
    }
    engine_test::Json native;
    ASSERT_TRUE(engine_test::ParseJson(engine_test::ReadFileBytes(native_report), native));
    MappedDrive drive(tree);
    ASSERT_TRUE(drive.ok());
    const wchar_t letter = drive.drive()[0];
    engine_test::RemoveReports(letter);
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, drive.drive()));
    ASSERT_HRESULT_SUCCEEDED(engine_->FinishDrive());
    const auto reports = engine_test::ReportFiles(letter);
    ASSERT_EQ(reports.size(), 1u);
    engine_test::Json ours;
    ASSERT_TRUE(engine_test::ParseJson(engine_test::ReadFileBytes(reports[0]), ours));
    orvane::engine::testing::KeepForSchemaCheck(engine_test::ReadFileBytes(reports[0]),
                                                "component");
    engine_test::RemoveReports(letter);

    EXPECT_EQ(ReportTotal(ours, "files"), ReportTotal(native, "files"));
    EXPECT_EQ(ReportTotal(ours, "folders"), ReportTotal(native, "folders"));
    EXPECT_EQ(ReportTotal(ours, "unreadable_folders"), ReportTotal(native, "unreadable_folders"));
    // The one difference: Linux gives folders blocks and a size of their
    // own, Wine lists folders with 0 for both (as NTFS does).
    const std::size_t space = folder_bytes.find(L' ');
    ASSERT_NE(space, std::wstring::npos);
    const std::uint64_t folder_allocated = std::stoull(folder_bytes.substr(0, space));
    const std::uint64_t folder_apparent = std::stoull(folder_bytes.substr(space + 1));
    EXPECT_EQ(ReportTotal(ours, "allocated_bytes") + folder_allocated,
              ReportTotal(native, "allocated_bytes"));
    EXPECT_EQ(ReportTotal(ours, "apparent_bytes") + folder_apparent,
              ReportTotal(native, "apparent_bytes"));
}

}  // namespace

namespace {

// What the engine's second interface says of the drive last finished.
struct Outcome {
    HRESULT page_result = E_FAIL;
    std::wstring page;
    std::wstring index;
    struct Problem {
        std::wstring drive;
        long kind = 0;
        std::wstring description;
    };
    std::vector<Problem> problems;
};

std::wstring Take(BSTR text) {
    std::wstring taken(text ? text : L"", text ? ::SysStringLen(text) : 0);
    ::SysFreeString(text);
    return taken;
}

Outcome ReadOutcome(orvane::IAnalysisEngine& engine) {
    Outcome outcome;
    orvane::com_ptr<orvane::IAnalysisReports> reports;
    EXPECT_HRESULT_SUCCEEDED(
        engine.QueryInterface(orvane::IID_IAnalysisReports, reports.put_void()));
    if (!reports) return outcome;
    BSTR text = nullptr;
    outcome.page_result = reports->GetReportPage(&text);
    outcome.page = Take(text);
    text = nullptr;
    EXPECT_HRESULT_SUCCEEDED(reports->GetIndexPage(&text));
    outcome.index = Take(text);
    long count = -1;
    EXPECT_HRESULT_SUCCEEDED(reports->GetProblemCount(&count));
    for (long i = 0; i < count; ++i) {
        BSTR drive = nullptr, description = nullptr;
        Outcome::Problem problem;
        EXPECT_HRESULT_SUCCEEDED(reports->GetProblem(i, &drive, &problem.kind, &description));
        problem.drive = Take(drive);
        problem.description = Take(description);
        outcome.problems.push_back(problem);
    }
    BSTR drive = nullptr, description = nullptr;
    long kind = 0;
    EXPECT_EQ(reports->GetProblem(count, &drive, &kind, &description), E_INVALIDARG);
    EXPECT_EQ(reports->GetProblemCount(nullptr), E_POINTER);
    return outcome;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The wizard checks a drive before it hands it over, but the drive can go
// between the check and the scan: no call fails, the report says so, and the
// second interface names the drive as not read rather than offering its page.
TEST_F(AnalysisEngineTest, ADriveThatCannotBeReadGetsAnEmptyScanAndAReportSayingSo) {
    wchar_t letter = 0;
    const DWORD used = ::GetLogicalDrives();
    for (wchar_t l = L'L'; l >= L'E' && !letter; --l) {
        if (!(used & (1u << (l - L'A')))) letter = l;
    }
    ASSERT_NE(letter, 0);
    engine_test::RemoveReports(letter);
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, std::wstring{letter, L':'}));
    EXPECT_EQ(engine_test::BytesScanned(*engine_), L"0");
    const auto fields = engine_test::SplitStatus(engine_test::StatusText(*engine_));
    ASSERT_TRUE(fields.well_formed);
    EXPECT_EQ(fields.folder, std::wstring({letter, L':'}));
    ASSERT_HRESULT_SUCCEEDED(engine_->FinishDrive());
    const auto reports = engine_test::ReportFiles(letter);
    ASSERT_EQ(reports.size(), 1u);
    const std::string text = engine_test::ReadFileBytes(reports[0]);
    orvane::engine::testing::KeepForSchemaCheck(text, "component");
    engine_test::Json report;
    ASSERT_TRUE(engine_test::ParseJson(text, report));
    EXPECT_NE(text.find("root_unreadable"), std::string::npos) << text;

    const Outcome outcome = ReadOutcome(*engine_);
    EXPECT_EQ(outcome.page_result, S_FALSE);
    EXPECT_EQ(outcome.page, L"") << "an unread drive's report is not offered";
    ASSERT_EQ(outcome.problems.size(), 1u);
    EXPECT_EQ(outcome.problems[0].drive, (std::wstring{letter, L':'}));
    EXPECT_EQ(outcome.problems[0].kind, orvane::IAnalysisReports::kDriveNotRead);
    EXPECT_EQ(outcome.problems[0].description.find(std::wstring(L"Drive ") + letter +
                                                   L": could not be read ("),
              0u)
        << Narrow(outcome.problems[0].description);
    engine_test::RemoveReports(letter);
}

// Puts a file where the reports folder goes, so that no report can be
// saved, and puts the folder back afterwards.
class BlockedReportsFolder {
public:
    BlockedReportsFolder()
        : folder_(engine_test::ReportsFolder()), kept_(folder_ + L"-kept-by-test") {
        ::MoveFileW(folder_.c_str(), kept_.c_str());
        blocker_.reset(::CreateFileW(folder_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    BlockedReportsFolder(const BlockedReportsFolder&) = delete;
    BlockedReportsFolder& operator=(const BlockedReportsFolder&) = delete;
    ~BlockedReportsFolder() { Unblock(); }
    bool blocked() const { return static_cast<bool>(blocker_); }
    void Unblock() {
        if (!blocker_) return;
        blocker_.reset();
        ::DeleteFileW(folder_.c_str());
        ::MoveFileW(kept_.c_str(), folder_.c_str());
    }

private:
    std::wstring folder_, kept_;
    orvane::unique_file blocker_;
};

// A report that cannot be saved fails no call: the engine goes on to the
// next drive, and its second interface says which drive and why.
TEST_F(AnalysisEngineTest, AReportThatCannotBeSavedIsToldAndTheNextDriveIsReported) {
    TempTree tree(L"unsaved");
    tree.AddFile(L"Data\\readme.txt", 7);
    MappedDrive drive(tree.root());
    ASSERT_TRUE(drive.ok());
    const wchar_t letter = drive.drive()[0];
    engine_test::RemoveReports(letter);
    BlockedReportsFolder blocked;
    ASSERT_TRUE(blocked.blocked()) << "could not put a file in place of the reports folder";
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, drive.drive()));
    ASSERT_HRESULT_SUCCEEDED(engine_->FinishDrive()) << "an unsaved report is no failed call";

    const Outcome unsaved = ReadOutcome(*engine_);
    EXPECT_EQ(unsaved.page_result, S_FALSE);
    EXPECT_EQ(unsaved.page, L"");
    ASSERT_EQ(unsaved.problems.size(), 1u);
    EXPECT_EQ(unsaved.problems[0].drive, drive.drive());
    EXPECT_EQ(unsaved.problems[0].kind, orvane::IAnalysisReports::kReportNotSaved);
    const std::wstring& why = unsaved.problems[0].description;
    EXPECT_EQ(why.find(L"The analysis of drive " + drive.drive() + L" could not be saved: "), 0u)
        << Narrow(why);
    EXPECT_NE(why.find(L"reports folder"), std::wstring::npos) << Narrow(why);

    blocked.Unblock();
    ASSERT_HRESULT_SUCCEEDED(engine_test::Analyze(*engine_, drive.drive()));
    ASSERT_HRESULT_SUCCEEDED(engine_->FinishDrive());
    const Outcome saved = ReadOutcome(*engine_);
    EXPECT_EQ(saved.page_result, S_OK);
    const auto reports = engine_test::ReportFiles(letter);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(saved.page, reports[0].substr(0, reports[0].size() - 5) + L".html");
    EXPECT_EQ(saved.index, engine_test::ReportsFolder() + L"\\index.html");
    EXPECT_EQ(saved.problems.size(), 1u) << "the first drive's problem is still told";
    engine_test::RemoveReports(letter);
}

}  // namespace
