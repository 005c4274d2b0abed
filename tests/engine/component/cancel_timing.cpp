// How long AnalysisEngine.dll's AnalyzeDrive takes to return once Cancel is
// called from a timer of the caller, the way the wizard's Cancel reaches it.
// A measuring program for the benchmark, not a test: it prints numbers and
// judges none of them, and ctest does not run it.
//
//   engine_cancel_timing FOLDER DELAY_MS [DELAY_MS...]
//
// It maps a drive letter onto FOLDER and runs one round per delay, in the
// order given. Before each round it prints "ready" and waits for a line on
// its input, so that whoever drives it can empty the system's caches while
// nothing is timed (the benchmark drops them; by hand, press Enter). Each
// round then prints one line:
//
//   cancelled DELAY_MS RETURN_MS WORKERS_MS ENTRIES
//       Cancel to the call's return, and to the workers' end; the count of
//       entries scanned just before Cancel (which shows the scan under way)
//   finished DELAY_MS SCAN_MS
//       the scan ended before the timer fired
//
// All of its own start-up (the process, the DLL, the drive) comes before the
// first "ready"; only Cancel and what follows it are timed.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <stdexcept>
#include <string>
#include <vector>

#include "orvane/win32_handles.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// False when the input has ended: nobody is left to prepare a round.
bool WaitForGo() {
    std::printf("ready\n");
    std::fflush(stdout);
    char line[64];
    return std::fgets(line, sizeof line, stdin) != nullptr;
}

struct Round {
    bool cancelled = false;
    double return_ms = 0;   // from Cancel (or, uncancelled, the start) to the return
    double workers_ms = 0;  // from Cancel to the engine's release, which joins the workers
    long long entries = 0;  // scanned just before Cancel
};

// One fresh engine per round: releasing it waits for the workers that the
// cancelled call left winding down, so none of them runs into the next round.
Round TimeOneRound(const engine_test::EngineDll& dll, const std::wstring& drive, UINT delay_ms) {
    orvane::IAnalysisEngine* raw = nullptr;
    if (FAILED(dll.Create(&raw))) throw std::runtime_error("the engine could not be created");
    engine_test::EnginePtr engine(raw);
    Clock::time_point cancelled_at{};
    long long entries = -1;
    engine_test::TickWindow timer(delay_ms, [&](engine_test::TickWindow& self) {
        self.Stop();
        // Read before the clock starts, so that it adds nothing to the time.
        const auto fields = engine_test::SplitStatus(engine_test::StatusText(*engine));
        if (fields.well_formed) entries = engine_test::ParseGroupedCount(fields.count);
        cancelled_at = Clock::now();
        engine->Cancel();
    });
    const Clock::time_point started_at = Clock::now();
    const HRESULT hr = engine_test::Analyze(*engine, drive);
    const Clock::time_point returned_at = Clock::now();
    if (FAILED(hr)) throw std::runtime_error("AnalyzeDrive failed");
    engine.reset();
    const Clock::time_point released_at = Clock::now();
    engine_test::DrainMessages();
    Round round;
    round.cancelled = timer.ticks() > 0;
    round.return_ms = Milliseconds(returned_at - (round.cancelled ? cancelled_at : started_at));
    round.workers_ms = round.cancelled ? Milliseconds(released_at - cancelled_at) : 0;
    round.entries = entries;
    return round;
}

void PrintRound(UINT delay_ms, const Round& round) {
    if (round.cancelled) {
        std::printf("cancelled %u %.1f %.1f %lld\n", delay_ms, round.return_ms, round.workers_ms,
                    round.entries);
    } else {
        std::printf("finished %u %.1f\n", delay_ms, round.return_ms);
    }
    std::fflush(stdout);
}

int Run(const std::wstring& folder, const std::vector<UINT>& delays) {
    const engine_test::EngineDll dll;
    if (!dll.loaded()) {
        std::fprintf(stderr, "AnalysisEngine.dll is not beside this program\n");
        return 1;
    }
    const engine_test::MappedDrive drive(folder);
    if (!drive.ok()) {
        std::fprintf(stderr, "no drive letter could be mapped onto %ls\n", folder.c_str());
        return 1;
    }
    std::printf("drive %ls shows %ls\n", drive.drive().c_str(), folder.c_str());
    for (const UINT delay_ms : delays) {
        if (!WaitForGo()) return 0;
        PrintRound(delay_ms, TimeOneRound(dll, drive.drive(), delay_ms));
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: engine_cancel_timing FOLDER DELAY_MS [DELAY_MS...]\n");
        return 2;
    }
    std::vector<UINT> delays;
    for (int i = 2; i < argc; ++i) {
        wchar_t* end = nullptr;
        const unsigned long delay = std::wcstoul(argv[i], &end, 10);
        if (end == argv[i] || *end != L'\0' || delay == 0 || delay > 60000) {
            std::fprintf(stderr, "not a delay in milliseconds: %ls\n", argv[i]);
            return 2;
        }
        delays.push_back(static_cast<UINT>(delay));
    }
    // The engine is called from a single-threaded apartment, as the wizard's
    // user-interface thread calls it.
    const orvane::scoped_com_apartment apartment(COINIT_APARTMENTTHREADED);
    try {
        return Run(argv[1], delays);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
