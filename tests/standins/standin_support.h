// What the scripted stand-in components share: the call log the black-box
// tests read, the script that tells a stand-in how to behave, and the
// message-pumping wait that models a component working on the caller's thread.
//
// The log (file named by ORVANE_STANDIN_LOG) gets one line per event:
//     <ms> <pid> <component> <event> [arguments...]
// <ms> is wall-clock milliseconds (the same clock in every process), <pid> the
// calling process. Calls are logged under their operation name; a call that
// works for a while also logs "return <Operation> <how>" when it ends, where
// <how> is done, cancelled or quit. A call answered with a failure logs
// "fail <Operation> 0x<hresult>" after its call line.
//
// The script (file named by ORVANE_STANDIN_SCRIPT) holds key=value lines; '#'
// starts a comment line. A key given on several lines keeps every value in
// order. Keys (an <Op> may carry "#k" to mean only its k-th call, from 1):
//     analyze_ms=<n>           AnalyzeDrive works n ms (default 0)
//     finish_ms=<n>            FinishDrive works n ms (default 0)
//     hold=<Op>[#k]            the call works until the file
//                              "release.<Op>.<k>" appears beside the script
//                              (or Cancel arrives); ignores the *_ms keys
//     status=<text>            GetStatusText answers; several lines form a
//                              sequence, one per call, the last one repeating.
//                              {drive} is the drive of the last AnalyzeDrive,
//                              {bytes} the answer GetBytesScanned would give
//                              now, {n} the number of this call
//     bytes=<n>                GetBytesScanned answers; several lines form a
//                              sequence like status
//     bytes=ramp:<n>:<ms>      grows from 0 to n over ms milliseconds after
//                              each AnalyzeDrive starts, then stays at n
//     fail=<Op>[#k]:<hresult>  the call returns that HRESULT (hex or decimal)
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace orvane::standin {

// Appends one event line to the shared log; does nothing without the env var.
void LogEvent(const wchar_t* component, const std::wstring& event);

class Script {
public:
    // Reads the file named by ORVANE_STANDIN_SCRIPT; empty without it.
    static Script Load();
    static Script Parse(const std::string& utf8Text);

    std::vector<std::wstring> All(const std::wstring& key) const;
    std::optional<std::wstring> First(const std::wstring& key) const;
    long Number(const std::wstring& key, long fallback) const;

    // The failure a call answers with, S_OK when the script names none.
    HRESULT FailureFor(const std::wstring& operation, long callNumber) const;
    // Whether the call waits for its release file.
    bool Holds(const std::wstring& operation, long callNumber) const;
    // The release file of a held call.
    std::wstring ReleaseFile(const std::wstring& operation, long callNumber) const;

private:
    std::vector<std::pair<std::wstring, std::wstring>> entries_;
    std::wstring folder_;  // where the script lives, with a trailing backslash
};

// "Op" or "Op#k" against an operation and its call number.
bool OperationMatches(const std::wstring& pattern, const std::wstring& operation, long callNumber);

enum class WorkEnd { Done, Cancelled, Quit };

const wchar_t* Describe(WorkEnd end);

// Keeps the calling thread's window messages flowing while "working": for
// durationMs, or until releaseFile exists when it is not empty. Returns early
// once cancelEvent is signalled or a WM_QUIT arrives; the WM_QUIT is posted
// again so the caller's message loop still ends.
WorkEnd WorkWhilePumping(DWORD durationMs, const std::wstring& releaseFile, HANDLE cancelEvent);

std::wstring HresultText(HRESULT hr);

}  // namespace orvane::standin
