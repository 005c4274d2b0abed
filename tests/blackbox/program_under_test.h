// One run of the real program for one test: a fresh folder holding a copy of
// OrvaneAnalyzer.exe and the chosen stand-ins under the real DLL names (the
// exe's manifest finds them there), the stand-ins' script and log, and the
// started process.
#pragma once

#include "automation.h"

#include <memory>
#include <optional>
#include <string>

namespace orvane::blackbox {

struct StartOptions {
    bool withStyleman = true;  // leave one out to simulate a missing component
    bool withEngine = true;
    std::string script;           // the stand-ins' script (key=value lines)
    bool realComponents = false;  // the product's own DLLs instead of the stand-ins

    StartOptions& WithoutStyleman() {
        withStyleman = false;
        return *this;
    }
    StartOptions& WithoutEngine() {
        withEngine = false;
        return *this;
    }
    StartOptions& RealComponents() {
        realComponents = true;
        return *this;
    }
    StartOptions& Script(std::string lines) {
        script = std::move(lines);
        return *this;
    }
    // An installed copy started where it lies, with the components beside it.
    std::wstring installedProgram;
    StartOptions& Installed(std::wstring program) {
        installedProgram = std::move(program);
        realComponents = true;
        return *this;
    }
};

class ProgramUnderTest {
public:
    explicit ProgramUnderTest(const StartOptions& options);
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // Why staging or starting failed; empty once the process runs.
    const std::string& failure() const { return failure_; }
    const Process& process() const { return *process_; }
    const StandinLog& log() const { return log_; }

    // The wizard once it exists; null after the timeout.
    HWND WaitForWizard(milliseconds timeout = kPatience);
    // The wizard once start-up has finished: list filled, "Next >" enabled
    // and the engine created.
    HWND WaitUntilReady(milliseconds timeout = kPatience);
    HWND wizard() const { return wizard_; }
    HWND Control(int id) const;
    RemoteListView DriveList() const;

    // Lets the k-th held call of an operation (script key hold=) return.
    void Release(const std::string& operation, int call) const;
    // Waits until the engine logged this call (e.g. "AnalyzeDrive D:").
    bool WaitForEngineCall(const std::string& call, milliseconds timeout = kPatience) const;
    // Whether the process ends within the timeout, and with which code.
    std::optional<DWORD> WaitForExit(milliseconds timeout = kPatience) const {
        return process_->WaitForExit(timeout);
    }

private:
    StagingFolder folder_;
    StandinLog log_;
    std::optional<Process> process_;
    bool realComponents_ = false;
    HWND wizard_ = nullptr;
    std::string failure_;
};

// The program's message box once it is up (or nothing after the timeout).
std::optional<MessageBoxInfo> WaitForBox(const ProgramUnderTest& program,
                                         milliseconds timeout = kPatience);

// Set by "./orvane test": the Wine prefix then has the test drives
// C: D: E: F: G: H: R: Z: with known types and contents.
bool TestDrivesPrepared();

}  // namespace orvane::blackbox

namespace orvane::blackbox {

// Checks exactly the drives with these letters and unchecks every other
// entry. False if a letter is not in the list or a change did not stick.
bool CheckOnly(const ProgramUnderTest& program, const std::wstring& letters);

// The drive page is shown and the progress page hidden.
bool OnDrivePage(const ProgramUnderTest& program);
bool OnProgressPage(const ProgramUnderTest& program);

// Waits until every message sent to the wizard before has been handled: the
// program is back in a message loop.
bool Settle(const ProgramUnderTest& program);

// Waits until the program has handled every message posted to it before,
// and whatever those messages posted in turn. A sent message cannot tell:
// it is handled before posted ones. The marker is a position posted to the
// drive bar while the progress page is not in use, then put back.
bool FlushPosted(const ProgramUnderTest& program);

}  // namespace orvane::blackbox
