// orvane-scan: the scanning core on the command line.
//
//   orvane-scan [--json FILE] [--html FILE] [--compare OLD.json] [--threads N]
//               [--top N] [--tree N] [--method auto|walk|file-table] [--quiet] PATH
//   orvane-scan --version
//
// Prints the totals and the largest folders of PATH (with the space ledger
// when PATH is a whole volume, and the largest changes with --compare);
// --json and --html also write the full report, before anything is printed.
// Exit codes: 0 scanned (unreadable subfolders included), 1 PATH itself
// cannot be scanned, 2 bad arguments (an OLD.json that is missing, is not a
// report, or is one of another folder or volume included), 3 a report
// cannot be written, 4 the scan stopped early for lack of a resource (the
// report says which), 5 the summary cannot be printed (standard output
// closed or full), 130 / 143 stopped by SIGINT / SIGTERM
// (Ctrl+C / the console's other control events): no report is written then,
// unless the stop came once the JSON was in place: the page is then written
// too (both reports or neither), and the message says so.
// PATH may also be an NTFS volume whose file table is read instead of its
// folders walked: a drive on Windows (C:), a file or block device on Linux.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <io.h>
#else
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "cli/stop_requests.h"
#include "cli/table_phase.h"
#include "cli/text_report.h"
#include "core/scan_names.h"
#include "core/scanner.h"
#include "report/assemble_addenda.h"
#include "report/changes.h"
#include "report/html_report.h"
#include "report/ledger.h"
#include "report/report_json.h"
#include "report/report_snapshot.h"
#include "orvane/atomic_file.h"
#include "orvane/system_error.h"
#if defined(_WIN32)
#include "orvane/win32_handles.h"
#endif

namespace orvane::engine::cli {
namespace {

enum ExitCode : int {
    kExitScanned = 0,
    kExitPathUnscannable = 1,
    kExitUsage = 2,
    kExitReportFailed = 3,
    kExitIncomplete = 4,  // the scan stopped early for lack of a resource
    kExitOutputFailed = 5,
};

struct Arguments {
    NativeString path;
    std::optional<NativeString> json_file;
    std::optional<NativeString> html_file;
    std::optional<NativeString> compare_file;
    unsigned threads = 0;
    std::size_t top = 20;
    std::size_t tree = 5000;
    MethodChoice method = MethodChoice::kAuto;
    bool quiet = false;
};

constexpr char kUsage[] =
    "usage: orvane-scan [--json FILE] [--html FILE] [--compare OLD.json] [--threads N]\n"
    "                   [--top N] [--tree N] [--method auto|walk|file-table] [--quiet] PATH\n"
    "  --json FILE  also write the full report as JSON (replaced atomically)\n"
    "  --html FILE  also write the report as a page to open in a browser\n"
    "  --compare OLD.json  list what changed since that earlier report\n"
    "  --tree N     folders the report's tree and map keep (default 5000; 0: none)\n"
    "  --threads N  worker threads (default: one per core, more while they wait\n"
    "               on the device)\n"
    "  --top N      length of the largest-folder, file and type lists (default 20)\n"
    "  --method M   file-table: read the NTFS file table of PATH (a drive on Windows,\n"
    "               a file or block device on Linux), fail if it cannot be read;\n"
    "               walk: walk the folders; auto (default): the table where it can be\n"
    "               read, else the walk\n"
    "  --quiet      no progress line on a terminal\n"
    "  --version    print the version and exit\n";

bool ParseCount(NativeStringView text, unsigned long long limit, unsigned long long& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (NativeChar c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= limit;
}

bool ParseMethod(const NativeString* text, MethodChoice& method) {
    if (!text) return false;
    if (*text == ORVANE_NATIVE("auto"))
        method = MethodChoice::kAuto;
    else if (*text == ORVANE_NATIVE("walk"))
        method = MethodChoice::kWalk;
    else if (*text == ORVANE_NATIVE("file-table"))
        method = MethodChoice::kFileTable;
    else
        return false;
    return true;
}

bool Fail(const char* message) {
    std::fputs(message, stderr);
    return false;
}

bool TakesValue(NativeStringView option) {
    static constexpr const NativeChar* kOptions[] = {
        ORVANE_NATIVE("--json"), ORVANE_NATIVE("--html"),   ORVANE_NATIVE("--compare"),
        ORVANE_NATIVE("--tree"), ORVANE_NATIVE("--method"), ORVANE_NATIVE("--threads"),
        ORVANE_NATIVE("--top")};
    for (const NativeChar* known : kOptions)
        if (option == known) return true;
    return false;
}

// The FILE of --json, --html or --compare.
bool ParseFileOption(NativeStringView option, const NativeString* file, Arguments& parsed) {
    const bool json = option == ORVANE_NATIVE("--json");
    const bool html = option == ORVANE_NATIVE("--html");
    if (!file || file->empty()) {
        return Fail(json   ? "orvane-scan: --json needs a file\n"
                    : html ? "orvane-scan: --html needs a file\n"
                           : "orvane-scan: --compare needs a report file\n");
    }
    (json ? parsed.json_file : html ? parsed.html_file : parsed.compare_file) = *file;
    return true;
}

// The N of --tree, --threads or --top.
bool ParseNumberOption(NativeStringView option, const NativeString* count, Arguments& parsed) {
    unsigned long long number = 0;
    if (option == ORVANE_NATIVE("--tree")) {
        const bool none = count && *count == ORVANE_NATIVE("0");
        if (!count || (!none && !ParseCount(*count, 1000000, number)))
            return Fail("orvane-scan: --tree needs a number from 0 to 1000000\n");
        parsed.tree = none ? 0 : static_cast<std::size_t>(number);
    } else if (option == ORVANE_NATIVE("--threads")) {
        if (!count || !ParseCount(*count, 256, number))
            return Fail("orvane-scan: --threads needs a number from 1 to 256\n");
        parsed.threads = static_cast<unsigned>(number);
    } else {
        if (!count || !ParseCount(*count, 100000, number))
            return Fail("orvane-scan: --top needs a number from 1 to 100000\n");
        parsed.top = static_cast<std::size_t>(number);
    }
    return true;
}

// `value` is null when the option came last.
bool ParseOptionValue(NativeStringView option, const NativeString* value, Arguments& parsed) {
    if (option == ORVANE_NATIVE("--method")) {
        return ParseMethod(value, parsed.method) ||
               Fail("orvane-scan: --method needs auto, walk or file-table\n");
    }
    if (option == ORVANE_NATIVE("--tree") || option == ORVANE_NATIVE("--threads") ||
        option == ORVANE_NATIVE("--top"))
        return ParseNumberOption(option, value, parsed);
    return ParseFileOption(option, value, parsed);
}

// --help and --version answer at once and end the program.
[[noreturn]] void AnswerAndExit(const char* text) {
    std::fputs(text, stdout);
    std::exit(kExitScanned);
}

// False with a message on standard error when the arguments make no sense.
bool ParseArguments(const std::vector<NativeString>& args, Arguments& parsed) {
    bool have_path = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        NativeStringView arg = args[i];
        if (arg == ORVANE_NATIVE("--help") || arg == ORVANE_NATIVE("-h")) {
            AnswerAndExit(kUsage);
        } else if (arg == ORVANE_NATIVE("--version")) {
            AnswerAndExit("orvane-scan " ORVANE_VERSION "\n");
        } else if (arg == ORVANE_NATIVE("--quiet")) {
            parsed.quiet = true;
        } else if (TakesValue(arg)) {
            const NativeString* value = i + 1 < args.size() ? &args[++i] : nullptr;
            if (!ParseOptionValue(arg, value, parsed)) return false;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != ORVANE_NATIVE("--")) {
            std::fprintf(stderr, "orvane-scan: unknown option %s\n", DisplayText(arg).c_str());
            return false;
        } else if (!have_path) {
            if (arg == ORVANE_NATIVE("--")) {
                if (i + 1 == args.size()) break;
                arg = args[++i];
            }
            parsed.path = NativeString(arg);
            have_path = true;
        } else {
            return Fail("orvane-scan: only one PATH can be scanned\n");
        }
    }
    if (!have_path) return Fail(kUsage);
    if (parsed.path.empty()) return Fail("orvane-scan: the PATH to scan is empty: name a folder\n");
    return true;
}

#if defined(_WIN32)
bool StderrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

// Whether `path` names the file standard output goes to (--json /dev/stdout
// or CON with standard output redirected to a file).
bool IsStandardOutput(const NativeString& path) {
    BY_HANDLE_FILE_INFORMATION out, target;
    const unique_file file(
        ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && ::GetFileInformationByHandle(::GetStdHandle(STD_OUTPUT_HANDLE), &out) &&
           ::GetFileInformationByHandle(file.get(), &target) &&
           out.dwVolumeSerialNumber == target.dwVolumeSerialNumber &&
           out.nFileIndexHigh == target.nFileIndexHigh && out.nFileIndexLow == target.nFileIndexLow;
}

std::size_t TerminalWidth() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
        return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    }
    return 80;
}
#else
bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

// Whether `path` names the file standard output goes to (--json /dev/stdout).
bool IsStandardOutput(const NativeString& path) {
    struct stat out, target;
    return ::fstat(STDOUT_FILENO, &out) == 0 && ::stat(path.c_str(), &target) == 0 &&
           out.st_dev == target.st_dev && out.st_ino == target.st_ino;
}

std::size_t TerminalWidth() {
    struct winsize size;
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}
#endif

// Waits for the scan, redrawing one progress line on the terminal meanwhile.
// The line is padded rather than cleared with an escape sequence, which not
// every Windows console understands.
void WaitShowingProgress(Scanner& scanner, bool show) {
    if (!show) return;
    std::size_t width = TerminalWidth();
    width = width > 1 ? width - 1 : 1;  // never write into the last column: it wraps
    while (!scanner.Wait(std::chrono::milliseconds(100))) {
        std::string line = ProgressLine(scanner.Progress(), width);
        std::size_t columns = 0;  // one per character, not per UTF-8 byte
        for (char c : line) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (columns < width) line.append(width - columns, ' ');
        std::fprintf(stderr, "\r%s", line.c_str());
        std::fflush(stderr);
    }
    std::fprintf(stderr, "\r%s\r", std::string(width, ' ').c_str());
    std::fflush(stderr);
}

// The whole of `file`; false with the system's words when it cannot be read.
bool ReadWholeFile(const NativeString& file, std::string& bytes, std::string& why) {
    std::error_code error;
    const std::filesystem::path path(file);
    const auto size = std::filesystem::file_size(path, error);
    std::ifstream in(path, std::ios::binary);
    if (error || !in) {
        why = error == std::errc::no_such_file_or_directory ? "no such file"
              : error                                       ? error.message()
                                                            : "it cannot be opened";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::size_t>(in.gcount()) != bytes.size()) {
        why = "it cannot be read";
        return false;
    }
    return true;
}

// The earlier report --compare names; false with a message when it is not one.
bool ReadEarlierReport(const NativeString& file, std::optional<report::ReportSnapshot>& out) {
    std::string bytes, why;
    if (!ReadWholeFile(file, bytes, why)) {
        std::fprintf(stderr, "orvane-scan: %s: %s\n", DisplayText(file).c_str(), why.c_str());
        return false;
    }
    out = report::ReadReportSnapshot(bytes, false, &why);
    if (out) return true;
    std::fprintf(stderr, "orvane-scan: %s is not a readable report: %s\n",
                 DisplayText(file).c_str(), DisplayUtf8(why).c_str());
    return false;
}

// Relative and absolute spellings of one folder are one root.
bool SameFolder(const NativeString& a, const NativeString& b) {
    if (report::SameRoot(a, b)) return true;
    std::error_code error_a, error_b;
    const auto x = std::filesystem::weakly_canonical(std::filesystem::path(a), error_a);
    const auto y = std::filesystem::weakly_canonical(std::filesystem::path(b), error_b);
    return !error_a && !error_b && report::SameRoot(x.native(), y.native());
}

// False with a message when the earlier report is of another folder or
// another volume: what changed between two different things is nonsense.
bool SameSubject(const NativeString& file, const report::ReportSnapshot& earlier,
                 const NativeString& path) {
    if (!SameFolder(earlier.root, path)) {
        std::fprintf(stderr, "orvane-scan: %s is a report of %s, not of %s\n",
                     DisplayText(file).c_str(), DisplayText(earlier.root).c_str(),
                     DisplayText(path).c_str());
        return false;
    }
    const auto volume = report::QueryVolume(path);
    if (volume && !volume->serial.empty() && !earlier.volume_serial.empty() &&
        volume->serial != earlier.volume_serial) {
        std::fprintf(stderr, "orvane-scan: %s is a report of volume %s, not of volume %s\n",
                     DisplayText(file).c_str(), DisplayUtf8(earlier.volume_serial).c_str(),
                     DisplayUtf8(volume->serial).c_str());
        return false;
    }
    return true;
}

// The volume's ledger from its file table where that was read (never from
// the platform then: an image file's volume is not the one it holds).
ReportAddenda Addenda(const ScanResult& result, const Arguments& args,
                      const std::optional<report::ReportSnapshot>& earlier,
                      const ScanSource& source) {
    const auto given = [&](const ReportAddenda&) {
        if (!earlier) return report::EarlierReport{};
        const auto file_name = std::filesystem::path(*args.compare_file).filename().native();
        return report::EarlierReport{&*earlier, ToUtf8Lossy(file_name)};
    };
    return report::AssembleAddenda(result, source.facts, report::LedgerFallback::kNone, given);
}

// "cannot scan PATH: <what the system said>", and why its file table could
// not stand in where it was tried (a file that holds no NTFS volume).
void ReportUnscannable(const ScanResult& result, const ScanMethodNote& method) {
    std::string reason = result.root_system_error != 0 ? SystemErrorText(result.root_system_error)
                                                       : OpenErrorWords(result.root_error);
    if (!method.table_unavailable.empty())
        reason += " (as a volume: " + method.table_unavailable + ")";
    std::fprintf(stderr, "orvane-scan: cannot scan %s: %s\n", DisplayText(result.root).c_str(),
                 reason.c_str());
}

enum class Written { kPlaced, kDropped, kFailed };

// kFailed (with the message printed) when the report could not be written.
// With `abandon_on_stop`, a stop request drops it (kDropped).
Written WriteReport(const NativeString& path, const std::string& content, bool abandon_on_stop) {
    const write_result written =
        WriteFileAtomically(path, content, abandon_on_stop ? &StopRequested() : nullptr);
    if (written.ok()) return written.abandoned ? Written::kDropped : Written::kPlaced;
    std::fprintf(stderr, "orvane-scan: cannot write %s: %s\n", DisplayText(path).c_str(),
                 written.message().c_str());
    return Written::kFailed;
}

// The summary with the ledger and the changes when there are any.
std::string SummaryText(const ScanResult& result, const ReportAddenda& addenda, std::size_t top) {
    std::string text = TextSummary(result, top);
    if (addenda.ledger) text += LedgerText(*addenda.ledger);
    if (addenda.changes) text += ChangesText(*addenda.changes, result.totals.allocated_bytes, top);
    return text;
}

// False (with a message on standard error) when `stream` is closed or full:
// the summary is then lost, which is a failure to report.
bool PrintSummary(const std::string& summary, std::FILE* stream) {
    errno = 0;
    const bool printed = std::fwrite(summary.data(), 1, summary.size(), stream) == summary.size() &&
                         std::fflush(stream) == 0;
    if (printed) return true;
    const int error = errno;
    std::fprintf(stderr, "orvane-scan: cannot print the summary on standard %s: %s\n",
                 stream == stdout ? "output" : "error",
                 error != 0 ? SystemErrorText(error).c_str() : "write failed");
    return false;
}

// Where the summary goes: standard error when a report is written to the
// file standard output goes to, which must then hold the report alone.
std::FILE* SummaryStream(const Arguments& args) {
    const bool report_on_stdout = (args.json_file && IsStandardOutput(*args.json_file)) ||
                                  (args.html_file && IsStandardOutput(*args.html_file));
    return report_on_stdout ? stderr : stdout;
}

int Stopped() {
    std::fputs("orvane-scan: stopped; no report written\n", stderr);
    return StopExitCode();
}

// The page, made on a thread of its own while the JSON is made on this one:
// both only read the finished scan, and on two cores the reports then cost
// the longer of the two rather than both. Without a thread, one after the
// other.
std::future<std::string> PageAlongside(const ScanResult& result, const ReportAddenda& addenda) {
    try {
        return std::async(std::launch::async,
                          [&result, &addenda] { return report::ReportHtml(result, addenda); });
    } catch (const std::system_error&) {
        return {};
    }
}

// Both reports or neither: once one is in place, a stop no longer drops the
// other. False when one could not be written (said on standard error);
// `placed` tells whether any was put in place.
bool WriteReports(const Arguments& args, const ScanResult& result, const ReportAddenda& addenda,
                  bool& placed) {
    placed = false;
    bool failed = false;
    auto write = [&](const NativeString& path, const std::string& content) {
        const Written written = WriteReport(path, content, !placed);
        placed |= written == Written::kPlaced;
        failed |= written == Written::kFailed;
    };
    std::future<std::string> page;
    if (args.json_file && args.html_file) page = PageAlongside(result, addenda);
    if (args.json_file) write(*args.json_file, ReportJson(result, addenda));
    if (args.html_file && (placed || !StopRequested()))
        write(*args.html_file, page.valid() ? page.get() : report::ReportHtml(result, addenda));
    return !failed;
}

int Run(const Arguments& args) {
    std::optional<report::ReportSnapshot> earlier;
    if (args.compare_file && (!ReadEarlierReport(*args.compare_file, earlier) ||
                              !SameSubject(*args.compare_file, *earlier, args.path)))
        return kExitUsage;
    // Asked before the reports may replace what the names lead to.
    std::FILE* const summary_stream = SummaryStream(args);
    const bool show_progress = !args.quiet && StderrIsTerminal();
    ScanSource source = ChooseScanSource(args.path, args.method, show_progress);
    if (StopRequested()) return Stopped();
    if (!source.walks) {
        std::fprintf(stderr, "orvane-scan: cannot scan %s: %s\n", DisplayText(args.path).c_str(),
                     source.error.c_str());
        return kExitPathUnscannable;
    }
    ScanOptions options;
    options.threads = args.threads;
    options.top_count = args.top;
    options.tree_folders = args.tree;
    // Where listings give no link counts (Windows), count hard-linked data
    // once by file id, as the component does: both front ends then agree.
    options.unknown_link_count = UnknownLinkCount::kRememberFileId;
    Scanner scanner(source.walks, options);
    ScanResult result;
    {
        const CancelOnStop cancel_on_stop(scanner);
        scanner.Start(args.path);
        WaitShowingProgress(scanner, show_progress);
        result = scanner.TakeResult();
    }
    if (StopRequested()) return Stopped();

    const ReportAddenda addenda = Addenda(result, args, earlier, source);

    int exit_code = kExitScanned;
    if (result.status == ScanStatus::kRootUnreadable) {
        ReportUnscannable(result, source.facts.method);
        exit_code = kExitPathUnscannable;
    } else if (result.status != ScanStatus::kCompleted && result.status != ScanStatus::kCancelled) {
        exit_code = kExitIncomplete;
    }
    // The reports are safe before anything is printed: a reader that stops
    // early (| head) or a full standard output cannot cost them.
    bool placed = false;
    const bool written = WriteReports(args, result, addenda, placed);
    if (StopRequested()) {
        if (!placed) return Stopped();
        std::fputs("orvane-scan: stopped; the reports were written\n", stderr);
        return StopExitCode();
    }
    if (!written && exit_code == kExitScanned) exit_code = kExitReportFailed;
    if (result.status != ScanStatus::kRootUnreadable &&
        !PrintSummary(SummaryText(result, addenda, args.top), summary_stream)) {
        if (exit_code == kExitScanned) exit_code = kExitOutputFailed;
    }
    return exit_code;
}

int Main(std::vector<NativeString> args) {
    Arguments parsed;
    if (!ParseArguments(args, parsed)) return kExitUsage;
    InstallStopHandling();
    try {
        return Run(parsed);
    } catch (const std::bad_alloc&) {
        // The scanner itself never throws; this is the summary or the report.
        std::fputs("orvane-scan: out of memory\n", stderr);
        return kExitIncomplete;
    }
}

}  // namespace
}  // namespace orvane::engine::cli

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
    ::SetConsoleOutputCP(CP_UTF8);
    return orvane::engine::cli::Main(
        std::vector<orvane::engine::NativeString>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
    return orvane::engine::cli::Main(
        std::vector<orvane::engine::NativeString>(argv + 1, argv + argc));
}
#endif
