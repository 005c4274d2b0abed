// orvane-scan as an unlucky user or an attacker meets it: report targets
// that are links, pipes or full devices, a standard output that goes away or
// fills up, names that are terminal escape sequences, start paths that
// cannot be scanned, and signals in the middle of a scan. The machine's own
// /dev is never written: devices are stood in for by FIFOs, links to the
// kernel's open-file links and tmpfs mounts in a namespace of the test's own.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "temp_tree.h"

extern char** environ;

namespace orvane::engine {
namespace {

using testing::CommandOutput;
using testing::ShellQuote;
using testing::TempTree;

const std::string kScan = ShellQuote(ORVANE_SCAN_EXE);
const std::string kSlowListing = ORVANE_SLOW_LISTING;

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

mode_t TypeOf(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

bool IsReport(const std::string& text) {
    return text.rfind("{", 0) == 0 && text.find("\"orvane-analysis-report\"") != std::string::npos;
}

// A small tree to scan, as `root` inside `tree`.
std::string SmallTree(const TempTree& tree, int folders = 2) {
    tree.Folder("root");
    for (int i = 0; i < folders; ++i) {
        tree.Folder("root/d" + std::to_string(i));
        tree.File("root/d" + std::to_string(i) + "/f", 5000);
    }
    return tree.Path("root");
}

bool CanUnshare() {
    int code = -1;
    CommandOutput("unshare --user --map-root-user --mount true 2>/dev/null", &code);
    return code == 0;
}

// Runs `script` in a mount namespace of its own where `folder` is a full
// 16 KiB tmpfs.
std::string WithFullFolder(const std::string& folder, const std::string& script) {
    const std::string inner = "mount -t tmpfs -o size=16k tmpfs " + ShellQuote(folder) +
                              " && { yes > " + ShellQuote(folder + "/filler") + " 2>/dev/null; " +
                              script + "; }";
    return CommandOutput("unshare --user --map-root-user --mount sh -c " + ShellQuote(inner) +
                         " 2>&1");
}

TEST(ScanCliReportTarget, LinksAreFollowedAndWhatIsNotAFileIsWrittenInPlace) {
    TempTree tree;
    const std::string root = ShellQuote(SmallTree(tree));
    int code = -1;

    // A link to a regular file: that file is replaced, the link stays.
    tree.File("real.json", 3);
    tree.SymLink("real.json", "link.json");
    CommandOutput(kScan + " --json " + ShellQuote(tree.Path("link.json")) + " " + root, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(TypeOf(tree.Path("link.json")), S_IFLNK);
    EXPECT_TRUE(IsReport(ReadFile(tree.Path("real.json"))));

    // A dangling link gets the file it names.
    tree.SymLink("made.json", "dangling.json");
    CommandOutput(kScan + " --json " + ShellQuote(tree.Path("dangling.json")) + " " + root, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(TypeOf(tree.Path("dangling.json")), S_IFLNK);
    EXPECT_EQ(TypeOf(tree.Path("made.json")), S_IFREG);

    // A link to a FIFO: written into the FIFO, which stays one.
    ASSERT_EQ(::mkfifo(tree.Path("fifo").c_str(), 0600), 0);
    tree.SymLink("fifo", "fifo-link");
    CommandOutput("timeout 10 cat " + ShellQuote(tree.Path("fifo")) + " > " +
                      ShellQuote(tree.Path("read")) + " & " + kScan + " --json " +
                      ShellQuote(tree.Path("fifo-link")) + " " + root +
                      " > /dev/null; code=$?; wait; exit $code",
                  &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(TypeOf(tree.Path("fifo")), S_IFIFO);
    EXPECT_TRUE(IsReport(ReadFile(tree.Path("read"))));

    // What /dev/stdout is: a link to the kernel's link to an open file.
    tree.SymLink("/proc/self/fd/1", "stdout");
    const std::string out =
        CommandOutput(kScan + " --json " + ShellQuote(tree.Path("stdout")) + " " + root, &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(IsReport(out)) << out;
    EXPECT_EQ(out.find("files "), std::string::npos) << "the summary goes to standard error";
    EXPECT_EQ(TypeOf(tree.Path("stdout")), S_IFLNK);
    EXPECT_EQ(CommandOutput("ls " + ShellQuote(tree.root()) + " | grep -c tmp"), "0\n");
}

TEST(ScanCliReportTarget, AFullDeviceIsWrittenInPlaceAndItsErrorIsAnError) {
    if (!CanUnshare()) GTEST_SKIP() << "needs unshare --user --mount to stand in for a device";
    TempTree tree;
    const std::string root = SmallTree(tree);
    // The device is seen only in the test's namespace, through a link, as
    // "--json /dev/full" would be.
    tree.File("device", 0);
    tree.SymLink("device", "link");
    const std::string inner = "mount --bind /dev/full " + ShellQuote(tree.Path("device")) + " && " +
                              kScan + " --json " + ShellQuote(tree.Path("link")) + " " +
                              ShellQuote(root) + " >/dev/null; echo code=$?; test -c " +
                              ShellQuote(tree.Path("device")) + " && echo still a device";
    const std::string result = CommandOutput("unshare --user --map-root-user --mount sh -c " +
                                             ShellQuote(inner) + " 2>&1");
    EXPECT_NE(result.find("cannot write " + tree.Path("link") + ": writing the target: No space"),
              std::string::npos)
        << result;
    EXPECT_NE(result.find("code=3\nstill a device"), std::string::npos) << result;
    EXPECT_EQ(TypeOf(tree.Path("link")), S_IFLNK);
    EXPECT_EQ(CommandOutput("ls " + ShellQuote(tree.root()) + " | grep -c tmp"), "0\n");
}

TEST(ScanCliOutput, TheReportIsWrittenFirstAndALostSummaryIsAnError) {
    TempTree tree;
    const std::string root = ShellQuote(SmallTree(tree));
    const std::string report = tree.Path("r.json");
    // The reader is gone before the slowed scan prints anything.
    CommandOutput("( LD_PRELOAD=" + ShellQuote(kSlowListing) + " " + kScan + " --json " +
                  ShellQuote(report) + " " + root + " 2>" + ShellQuote(tree.Path("err")) +
                  "; echo $? > " + ShellQuote(tree.Path("code")) + " ) | true");
    EXPECT_EQ(ReadFile(tree.Path("code")), "5\n");
    EXPECT_TRUE(IsReport(ReadFile(report)));
    EXPECT_NE(ReadFile(tree.Path("err")).find("cannot print the summary on standard output: "),
              std::string::npos);

    if (!CanUnshare()) GTEST_SKIP() << "needs unshare --user --mount for a full tmpfs";
    tree.Folder("full");
    ::unlink(report.c_str());
    const std::string result = WithFullFolder(
        tree.Path("full"), kScan + " --json " + ShellQuote(report) + " " + root + " > " +
                               ShellQuote(tree.Path("full/out")) + "; echo code=$?");
    EXPECT_NE(result.find("No space left on device\ncode=5"), std::string::npos) << result;
    EXPECT_TRUE(IsReport(ReadFile(report)));
}

TEST(ScanCliOutput, AReportToTheFileOfStandardOutputGetsItAloneAndTheSummaryGoesToErrors) {
    TempTree tree;
    const std::string root = ShellQuote(SmallTree(tree));
    int code = -1;
    CommandOutput(kScan + " --json /dev/stdout " + root + " > " +
                      ShellQuote(tree.Path("out.json")) + " 2> " + ShellQuote(tree.Path("err")),
                  &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(IsReport(ReadFile(tree.Path("out.json"))));
    EXPECT_NE(ReadFile(tree.Path("err")).find("Largest folders"), std::string::npos);
}

TEST(ScanCliOutput, NamesCannotSteerTheTerminalOrForgeLines) {
    TempTree tree;
    tree.Folder("root");
    const std::string evil = "x\x1b]0;owned\x07\nfiles               999";
    tree.Folder("root/" + evil);
    tree.File("root/" + evil + "/big", 100000);
    int code = -1;
    const std::string out = CommandOutput(kScan + " " + ShellQuote(tree.Path("root")), &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out.find_first_of("\x1b\x07"), std::string::npos);
    EXPECT_EQ(out.find("\nfiles               999"), std::string::npos) << out;
    EXPECT_NE(out.find("x\\x1b]0;owned\\x07\\x0afiles"), std::string::npos) << out;
}

TEST(ScanCliMessages, NameThePathAndSayWhatWentWrongInWords) {
    TempTree tree;
    tree.File("plain", 10);
    tree.SymLink("loop", "loop");
    auto error_of = [&](const std::string& path, int expected_code) {
        const std::string err = tree.Path("err");
        int code = -1;
        CommandOutput(kScan + " " + ShellQuote(path) + " 2>" + ShellQuote(err), &code);
        EXPECT_EQ(code, expected_code) << path;
        return ReadFile(err);
    };
    EXPECT_NE(error_of("", 2).find("PATH to scan is empty"), std::string::npos);
    EXPECT_NE(error_of(tree.Path("loop"), 1)
                  .find("cannot scan " + tree.Path("loop") + ": Too many levels of symbolic links"),
              std::string::npos);
    EXPECT_NE(error_of(tree.Path("plain"), 1)
                  .find("cannot scan " + tree.Path("plain") + ": Not a directory"),
              std::string::npos);
}

// Starts the slowed scanner on `root`; its pid.
// Starts orvane-scan with `args`, its output and errors into `log`, its
// listings slowed down when `slow`.
pid_t StartScan(std::vector<std::string> args, const std::string& log, bool slow) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
    if (slow) environment.push_back("LD_PRELOAD=" + kSlowListing);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), ORVANE_SCAN_EXE);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int failed =
        ::posix_spawn(&pid, ORVANE_SCAN_EXE, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed ? -1 : pid;
}

pid_t StartSlowScan(const std::string& root, const std::string& report, const std::string& log) {
    return StartScan({"--threads", "1", "--json", report, root}, log, true);
}

TEST(ScanCliStop, SigintAndSigtermStopTheScanPromptlyAndLeaveTheOldReport) {
    for (int signal_number : {SIGINT, SIGTERM}) {
        TempTree tree;
        // Each folder takes a tenth of a second to list: three seconds in all.
        const std::string root = SmallTree(tree, 30);
        tree.File("r.json", 3, 'o');
        const pid_t pid = StartSlowScan(root, tree.Path("r.json"), tree.Path("log"));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_EQ(::kill(pid, signal_number), 0);
        const auto sent = std::chrono::steady_clock::now();
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        const auto took = std::chrono::steady_clock::now() - sent;
        ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself: " << signal_number;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
        // Not a speed measurement: the fallback that ends a stuck program
        // waits a whole second, a stopped scan ends after its current batch.
        EXPECT_LT(took, std::chrono::milliseconds(600));
        EXPECT_EQ(ReadFile(tree.Path("r.json")), "ooo");
        EXPECT_NE(ReadFile(tree.Path("log")).find("stopped; no report written"), std::string::npos);
        EXPECT_EQ(CommandOutput("ls " + ShellQuote(tree.root()) + " | grep -c tmp"), "0\n");
    }
}

// The page is a FIFO nobody reads yet, so the stop comes while the page is
// being written, after the JSON was put in place: both reports are written.
TEST(ScanCliStop, AStopOnceTheJsonIsInPlaceStillWritesThePage) {
    TempTree tree;
    const std::string root = SmallTree(tree);
    ASSERT_EQ(::mkfifo(tree.Path("page").c_str(), 0600), 0);
    const pid_t pid = StartScan({"--json", tree.Path("r.json"), "--html", tree.Path("page"), root},
                                tree.Path("log"), false);
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 1000 && !IsReport(ReadFile(tree.Path("r.json"))); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    // Its thread for signals takes it while the page waits for a reader.
    const std::string pending = "/proc/" + std::to_string(pid) + "/status";
    for (int i = 0;
         i < 500 && ReadFile(pending).find("ShdPnd:\t0000000000000000") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string page = ReadFile(tree.Path("page"));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(IsReport(ReadFile(tree.Path("r.json"))));
    EXPECT_NE(page.find("</html>"), std::string::npos) << "the whole page";
    EXPECT_NE(ReadFile(tree.Path("log")).find("stopped; the reports were written"),
              std::string::npos);
}

}  // namespace
}  // namespace orvane::engine
