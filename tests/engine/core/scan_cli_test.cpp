// orvane-scan as a user runs it: output, the JSON report and exit codes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "cli/text_report.h"
#include "orvane/format.h"
#include "json_value.h"
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
    EXPECT_NE(run.out.find(orvane::GroupDigits(tools.allocated) + " ("), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Largest folders"), std::string::npos);
    EXPECT_NE(run.out.find(root + "/photos\n"), std::string::npos);

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

TEST(ScanCliText, NumbersAndTheProgressLine) {
    EXPECT_EQ(cli::HumanBytes(512), "512 B");
    EXPECT_EQ(cli::HumanBytes(1536), "1.5 KiB");
    EXPECT_EQ(cli::HumanBytes(10ull << 30), "10.0 GiB");

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
