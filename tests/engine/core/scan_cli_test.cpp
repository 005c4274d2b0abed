// orvane-scan as a user runs it: output, the JSON report and exit codes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "cli/text_report.h"
#include "orvane/format.h"
#include "json_value.h"
#include "report_sink.h"
#include "temp_tree.h"

namespace orvane::engine {
namespace {

using testing::CommandOutput;
using testing::JsonReader;
using testing::JsonValue;
using testing::MeasureWithTools;
using testing::ShellQuote;
using testing::TempTree;

struct Outcome {
    int exit_code = -1;
    std::string out;
    std::string err;
};

// Runs orvane-scan with `args` (already quoted), through `wrapper` if given.
Outcome RunScan(const std::string& args, const std::string& wrapper = "") {
    TempTree scratch;
    std::string err_file = scratch.Path("stderr");
    Outcome outcome;
    outcome.out = CommandOutput(
        wrapper + " " + ShellQuote(ORVANE_SCAN_EXE) + " " + args + " 2>" + ShellQuote(err_file),
        &outcome.exit_code);
    std::ifstream err(err_file);
    std::stringstream text;
    text << err.rdbuf();
    outcome.err = text.str();
    return outcome;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(ScanCli, PrintsTotalsAndLargestFoldersAndWritesTheSameReport) {
    TempTree tree;
    tree.Folder("photos");
    tree.File("photos/a.jpg", 20000);
    tree.Folder("bad-\xFF");
    tree.File("bad-\xFF/big.bin", 50000);
    std::string report = tree.Path("report.json");
    tree.File("report.json", 3);  // replaced whole
    tree.Folder("scanned");
    ASSERT_EQ(std::rename(tree.Path("photos").c_str(), tree.Path("scanned/photos").c_str()), 0);
    ASSERT_EQ(std::rename(tree.Path("bad-\xFF").c_str(), tree.Path("scanned/bad-\xFF").c_str()), 0);
    std::string root = tree.Path("scanned");

    Outcome run = RunScan("--json " + ShellQuote(report) + " " + ShellQuote(root));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");  // no progress line when stderr is not a terminal
    auto tools = MeasureWithTools(root);
    EXPECT_NE(run.out.find("files               2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("folders             3\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(orvane::CommaGroupedDigits(tools.allocated) + " ("), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Largest folders"), std::string::npos);
    EXPECT_NE(run.out.find(root + "/photos\n"), std::string::npos);

    testing::KeepForSchemaCheck(ReadFile(report), "cli");
    JsonValue json = JsonReader::Parse(ReadFile(report));
    EXPECT_EQ(json["totals"]["allocated_bytes"].U64(), tools.allocated);
    EXPECT_EQ(json["totals"]["apparent_bytes"].U64(), tools.apparent);
    EXPECT_EQ(json["totals"]["entries"].U64(), tools.entries);
    EXPECT_EQ(json["largest_files"][0]["path_raw"].text.size() % 2, 0u);
    EXPECT_EQ(CommandOutput("ls " + ShellQuote(tree.root()) + " | grep -c tmp"), "0\n");
}

TEST(ScanCli, ExitCodeIsNonZeroOnlyWhenThePathItselfCannotBeScanned) {
    TempTree tree;
    tree.File("plain", 10);
    tree.Folder("root");
    tree.Folder("root/locked");
    tree.File("root/locked/x", 10);
    ASSERT_EQ(::chmod(tree.Path("root/locked").c_str(), 0), 0);

    Outcome missing = RunScan(ShellQuote(tree.Path("missing")));
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("cannot scan " + tree.Path("missing") + ": No such file"),
              std::string::npos)
        << missing.err;
    EXPECT_EQ(RunScan(ShellQuote(tree.Path("plain"))).exit_code, 1);

    // Root ignores permission bits; without its overrides it meets them
    // like any user.
    std::string as_user = ::geteuid() == 0 ? "setpriv --inh-caps=-dac_override,-dac_read_search "
                                             "--bounding-set=-dac_override,-dac_read_search"
                                           : "";
    Outcome partly = RunScan(ShellQuote(tree.Path("root")), as_user);
    EXPECT_EQ(partly.exit_code, 0);
    EXPECT_NE(partly.out.find("unreadable folders  1\n"), std::string::npos) << partly.out;
    EXPECT_NE(partly.out.find(tree.Path("root/locked") + " (access_denied)"), std::string::npos);
}

TEST(ScanCli, BadArgumentsAndAnUnwritableReport) {
    EXPECT_EQ(RunScan("").exit_code, 2);
    EXPECT_EQ(RunScan("--frobnicate /").exit_code, 2);
    EXPECT_EQ(RunScan("--threads 0 /").exit_code, 2);
    EXPECT_EQ(RunScan("/ /usr").exit_code, 2);
    TempTree tree;
    Outcome unwritable = RunScan("--json " + ShellQuote(tree.Path("no/such/dir/r.json")) + " " +
                                 ShellQuote(tree.root()));
    EXPECT_EQ(unwritable.exit_code, 3);
    EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos);
}

TEST(ScanCli, ComparesWithAnEarlierReportAndWritesThePageInAnyCombination) {
    TempTree tree;
    tree.Folder("root");
    tree.Folder("root/music");
    tree.File("root/music/a.mp3", 40000);
    const std::string root = ShellQuote(tree.Path("root"));
    const std::string old_report = tree.Path("old.json"), page = tree.Path("page.html");
    ASSERT_EQ(RunScan("--json " + ShellQuote(old_report) + " " + root).exit_code, 0);
    tree.Folder("root/videos");
    tree.File("root/videos/v.mp4", 200000);

    Outcome run =
        RunScan(root + " --compare " + ShellQuote(old_report) + " --html " + ShellQuote(page));
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("\nChanges since "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("new     " + tree.Path("root/videos") + "\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("new     " + tree.Path("root/videos/v.mp4") + " (file)\n"),
              std::string::npos);
    EXPECT_EQ(run.out.find("Space on the volume"), std::string::npos) << "a folder inside a volume";
    EXPECT_NE(ReadFile(page).find("id=\"largest-changes\""), std::string::npos);

    tree.File("not-a-report.json", 10);
    Outcome bad = RunScan("--compare " + ShellQuote(tree.Path("not-a-report.json")) + " " + root);
    EXPECT_EQ(bad.exit_code, 2);
    EXPECT_NE(bad.err.find("is not a readable report"), std::string::npos);
    Outcome missing = RunScan("--compare " + ShellQuote(tree.Path("gone.json")) + " " + root);
    EXPECT_EQ(missing.exit_code, 2);
    EXPECT_NE(missing.err.find("gone.json: no such file"), std::string::npos) << missing.err;
    // A report of another folder says nothing of this one.
    Outcome other =
        RunScan("--compare " + ShellQuote(old_report) + " " + ShellQuote(tree.Path("root/music")));
    EXPECT_EQ(other.exit_code, 2);
    EXPECT_NE(other.err.find("is a report of " + tree.Path("root") + ", not of " +
                             tree.Path("root/music")),
              std::string::npos)
        << other.err;
}

TEST(ScanCli, AWholeVolumeGetsItsLedgerAddingUpToTheUsedSpace) {
    // /dev/shm is a small file system of its own on Linux machines.
    if (CommandOutput("mountpoint -q /dev/shm && echo yes") != "yes\n")
        GTEST_SKIP() << "no /dev/shm mount";
    TempTree tree;
    const std::string report = tree.Path("volume.json");
    Outcome run = RunScan("--json " + ShellQuote(report) + " /dev/shm");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.out.find("\nSpace on the volume\n"), std::string::npos) << run.out;
    testing::KeepForSchemaCheck(ReadFile(report), "cli-volume");
    JsonValue ledger = JsonReader::Parse(ReadFile(report))["ledger"];
    const auto used = static_cast<long long>(ledger["used_bytes"].U64());
    EXPECT_EQ(static_cast<long long>(ledger["found_bytes"].U64()) +
                  std::stoll(ledger["remainder_bytes"].number),
              used);
    EXPECT_EQ(ledger["volume_bytes"].U64() - ledger["free_bytes"].U64(),
              ledger["used_bytes"].U64());
}

// Runs as a user of its own with a process limit, which counts threads: the
// scan goes on with the threads it could start, and with none it says so.
TEST(ScanCli, WorkerThreadsThatCannotBeStartedAreDoneWithout) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run as a user without processes";
    TempTree tree;
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    tree.Folder("a");
    tree.File("a/data", 20000);
    tree.Folder("a/b");
    const std::string as_limited_user =
        "setpriv --reuid=54321 --regid=54321 --clear-groups prlimit";
    const std::string args = "--threads 8 " + ShellQuote(tree.root());

    // Room for the main thread, the signal watcher and one worker at a time:
    // how many ran depends on when the first one was done, but the scan
    // completes.
    Outcome some = RunScan(args, as_limited_user + " --nproc=3");
    EXPECT_EQ(some.exit_code, 0) << some.err;
    EXPECT_NE(some.out.find("folders             3\n"), std::string::npos) << some.out;
    EXPECT_EQ(some.out.find(", 8 threads\n"), std::string::npos) << some.out;

    Outcome none = RunScan(args, as_limited_user + " --nproc=2");
    EXPECT_EQ(none.exit_code, 4) << none.err;
    EXPECT_NE(none.out.find("no worker thread could be started"), std::string::npos) << none.out;
}

// A wrapper that runs the program under a descriptor limit with nothing open
// but the standard streams: whatever the test runner leaves open would count.
std::string WithDescriptorLimit(int limit) {
    return "bash -c 'for fd in $(ls /proc/$$/fd); do [ $fd -gt 2 ] && "
           "{ eval \"exec $fd>&-\"; } 2>/dev/null; done; exec prlimit --nofile=" +
           std::to_string(limit) + " \"$@\"' --";
}

// A deep tree keeps a folder open per level while its other subfolders wait;
// with few descriptors the scanner must wait for them or reopen folders, not
// skip them, and say so when it truly cannot go on.
TEST(ScanCli, RunningOutOfFileDescriptorsNeverLosesFoldersSilently) {
    TempTree tree;
    std::string level = "tree";
    tree.Folder(level);
    for (int depth = 0; depth < 40; ++depth) {
        for (const char* leaf : {"/x", "/y", "/z"}) {
            tree.Folder(level + leaf);
            tree.File(level + leaf + "/f", 100);
        }
        level += "/deep";
        tree.Folder(level);
    }
    const std::string root = tree.Path("tree");
    const std::string report = tree.Path("report.json");
    auto tools = MeasureWithTools(root);
    for (const char* threads : {"1", "3"}) {
        SCOPED_TRACE(threads);
        Outcome few = RunScan(std::string("--threads ") + threads + " --json " +
                                  ShellQuote(report) + " " + ShellQuote(root),
                              WithDescriptorLimit(8));
        EXPECT_EQ(few.exit_code, 0) << few.out;
        JsonValue json = JsonReader::Parse(ReadFile(report));
        EXPECT_EQ(json["status"].text, "completed");
        EXPECT_EQ(json["totals"]["unreadable_folders"].U64(), 0u);
        EXPECT_EQ(json["totals"]["allocated_bytes"].U64(), tools.allocated);
        EXPECT_EQ(json["totals"]["entries"].U64(), tools.entries);
    }
    // The standard streams and the starting folder leave none to open another.
    Outcome none =
        RunScan("--json " + ShellQuote(report) + " " + ShellQuote(root), WithDescriptorLimit(4));
    EXPECT_EQ(none.exit_code, 4);
    EXPECT_NE(none.out.find("out of file descriptors"), std::string::npos) << none.out;
    EXPECT_EQ(JsonReader::Parse(ReadFile(report))["status"].text, "out_of_file_descriptors");
    testing::KeepForSchemaCheck(ReadFile(report), "cli-out-of-descriptors");
}

TEST(ScanCliText, NumbersAndTheProgressLine) {
    EXPECT_EQ(cli::HumanBytes(512), "512 B");
    EXPECT_EQ(cli::HumanBytes(1536), "1.5 KiB");
    EXPECT_EQ(cli::HumanBytes(10ull << 30), "10.0 GiB");
    ScanResult saturated;
    saturated.totals.allocated_bytes = ~std::uint64_t{0};
    saturated.largest_folders.push_back({"/big", ~std::uint64_t{0}, 0, 0, 1});
    const std::string summary = cli::TextSummary(saturated, 5);
    EXPECT_NE(summary.find("at least 18,446,744,073,709,551,615 (16.0 EiB)"), std::string::npos)
        << summary;
    EXPECT_NE(summary.find("at least 16.0 EiB  /big"), std::string::npos) << summary;

    ScanProgress progress;
    progress.entries = 1234;
    progress.allocated_bytes = 2048;
    progress.current_folder = "/very/long/path/\xE6\x97\xA5\xE6\x9C\xAC/leaf";
    std::string line = cli::ProgressLine(progress, 40);
    EXPECT_LE(line.size(), 40u);
    EXPECT_EQ(line.rfind("1,234 scanned, 2.0 KiB  ...", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 5), "/leaf");
    EXPECT_EQ(cli::ProgressLine(progress, 200).find("..."), std::string::npos);

    // However narrow the terminal, the line fits; a name cannot steer it.
    progress.current_folder = "/tmp/\x1b]0;title\x07\nforged line";
    for (std::size_t width = 0; width <= 60; ++width) {
        line = cli::ProgressLine(progress, width);
        EXPECT_LE(line.size(), width);
        EXPECT_EQ(line.find_first_of("\x1b\x07\n"), std::string::npos) << line;
    }
    EXPECT_NE(line.find("\\x1b]0;title\\x07\\x0aforged line"), std::string::npos) << line;
    EXPECT_EQ(cli::DisplayText("\xC2\x9B"
                               "2J"),
              "\\u009b2J");  // the one-byte CSI
}

}  // namespace
}  // namespace orvane::engine
