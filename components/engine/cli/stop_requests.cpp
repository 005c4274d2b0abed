// The request is noted and the scan cancelled outside any signal handler:
// on POSIX one thread waits for the signals with sigwait, on Windows the
// system runs the console control handler on a thread of its own. Both may
// take locks and call the scanner.
#include "cli/stop_requests.h"

#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

#include "core/scanner.h"

namespace orvane::engine::cli {
namespace {

#if defined(_WIN32)
// The exit codes of the signals POSIX would have sent for the console events.
constexpr int kSigInt = 2;
constexpr int kSigTerm = 15;
#endif
constexpr auto kGracePeriod = std::chrono::seconds(1);

std::atomic<bool> requested{false};
std::atomic<int> stop_signal{0};
std::mutex scanner_mutex;
Scanner* watched = nullptr;

// Returns false when a stop had already been requested.
bool NoteStop(int signal_number) {
    if (requested.exchange(true)) return false;
    stop_signal = signal_number;
    std::lock_guard lock(scanner_mutex);
    if (watched) watched->Cancel();
    return true;
}

#if defined(_WIN32)

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (!NoteStop(event == CTRL_C_EVENT ? kSigInt : kSigTerm)) {
        ::ExitProcess(static_cast<UINT>(128 + stop_signal.load()));
    }
    // The program normally ends well within this; a close event ends the
    // process anyway once the handler returns.
    std::this_thread::sleep_for(kGracePeriod);
    ::ExitProcess(static_cast<UINT>(128 + stop_signal.load()));
}

#else

void WaitForStopSignals(sigset_t signals) {
    int signal_number = 0;
    while (::sigwait(&signals, &signal_number) != 0) {
    }
    NoteStop(signal_number);
    // From now on the default action: another signal ends the process.
    ::signal(signal_number, SIG_DFL);
    ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    std::this_thread::sleep_for(kGracePeriod);
    ::_exit(128 + signal_number);
}

#endif

}  // namespace

void InstallStopHandling() {
#if defined(_WIN32)
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    // A closed standard output is reported as an error, not a silent death.
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // inherited by every later thread
    try {
        std::thread(WaitForStopSignals, signals).detach();
    } catch (const std::system_error&) {
        // No thread to spare (a process limit): the signals keep their
        // default action, which ends the program at once, rather than
        // being blocked with nobody to take them.
        ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    }
#endif
}

const std::atomic<bool>& StopRequested() { return requested; }

int StopExitCode() { return requested ? 128 + stop_signal.load() : 0; }

CancelOnStop::CancelOnStop(Scanner& scanner) {
    std::lock_guard lock(scanner_mutex);
    watched = &scanner;
    if (requested) scanner.Cancel();
}

CancelOnStop::~CancelOnStop() {
    std::lock_guard lock(scanner_mutex);
    watched = nullptr;
}

}  // namespace orvane::engine::cli
