// A small automation library for driving the real program from outside:
// start it in a staged folder, find its windows and controls, read them,
// click, answer message boxes, read the stand-ins' call log, take
// screenshots. Everything works across processes with plain Win32 calls, so
// the program under test is exactly what a user would run.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "orvane/win32_handles.h"

namespace orvane::blackbox {

using std::chrono::milliseconds;

// Generous: a first start under Wine can take seconds on a busy machine. It
// bounds a wait for something that must happen; no test measures time.
inline constexpr milliseconds kPatience{30000};

// Polls until the condition holds; false when it still does not after the
// timeout.
bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout = kPatience);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);

// A host path (as CMake wrote it) as the path this process can open. Under
// Wine a Unix path is mapped to its DOS name; on Windows it is unchanged.
std::wstring HostPathToWindows(const std::string& path);

std::wstring EnvironmentValue(const wchar_t* name);

// A fresh folder under the temporary folder, removed with its files.
class StagingFolder {
public:
    StagingFolder();
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    bool CopyIn(const std::wstring& source, const std::wstring& name) const;
    bool WriteText(const std::wstring& name, const std::string& utf8) const;

private:
    std::wstring path_;
};

// A started program. Ends it (TerminateProcess) on destruction if a test left
// it running, so that a failed test never leaves a process behind.
class Process {
public:
    // Starts exe in folder with the current environment plus overrides.
    static std::optional<Process> Start(const std::wstring& exe, const std::wstring& folder,
                                        const std::map<std::wstring, std::wstring>& environment);
    Process(Process&&) noexcept = default;
    Process& operator=(Process&&) noexcept = default;
    ~Process();

    DWORD id() const { return id_; }
    HANDLE handle() const { return handle_.get(); }
    bool Running() const;
    // The exit code once the process has ended within the timeout.
    std::optional<DWORD> WaitForExit(milliseconds timeout = kPatience) const;
    void Kill() const;

private:
    Process(unique_handle handle, DWORD id) : handle_(std::move(handle)), id_(id) {}
    unique_handle handle_;
    DWORD id_ = 0;
};

// ---- windows ----------------------------------------------------------------

std::vector<HWND> TopLevelWindows(DWORD processId);
std::wstring ClassName(HWND hwnd);
// One line per top-level window of the process, for failure messages.
std::string DescribeWindows(DWORD processId);
// WM_GETTEXT through SendMessageTimeout: never hangs on a busy program.
std::wstring Text(HWND hwnd);
bool Visible(HWND hwnd);
bool Enabled(HWND hwnd);
RECT WindowRect(HWND hwnd);
// The client area in screen coordinates.
RECT ClientRectOnScreen(HWND hwnd);
// A control's rectangle relative to the client area of top.
RECT RectInClient(HWND top, HWND control);
SIZE Size(const RECT& rect);

// The wizard of that process (class and caption), or null.
HWND FindWizard(DWORD processId);
// The control with that id anywhere below top (controls sit inside frames).
HWND FindControl(HWND top, int id);

// Whether front lies before back in their parent's stacking order.
bool InFrontOf(HWND front, HWND back);

int CheckState(HWND checkBox);   // BM_GETCHECK
int ProgressPosition(HWND bar);  // PBM_GETPOS
// Posted, not sent: a click that opens a message box would block a sender.
void Click(HWND button);
// The window's close box (the system menu's Close).
void CloseWithCloseBox(HWND top);

// ---- the drive list ----------------------------------------------------------

// A list view of another process. Item texts and state changes go through a
// buffer allocated in that process.
class RemoteListView {
public:
    RemoteListView(HWND list, HANDLE process) : list_(list), process_(process) {}
    int Count() const;
    UINT State(int item, UINT mask) const;
    std::wstring ItemText(int item) const;
    bool SetChecked(int item, bool checked) const;

private:
    HWND list_;
    HANDLE process_;
};

struct DriveEntry {
    int index = -1;
    std::wstring text;   // the display name as shown
    wchar_t letter = 0;  // from the "(X:)" of the display name; 0 if none
    bool checked = false;
    bool marked = false;  // drawn as not accessible (the cut state)
};

std::vector<DriveEntry> ReadDriveList(const RemoteListView& list);
std::optional<DriveEntry> FindDrive(const std::vector<DriveEntry>& entries, wchar_t letter);

// ---- message boxes -------------------------------------------------------------

struct MessageBoxInfo {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;
};

// The message boxes (#32770 top-level windows) of the process.
std::vector<MessageBoxInfo> MessageBoxes(DWORD processId);
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, milliseconds timeout = kPatience);
// Presses the button with that id (IDOK, IDYES, IDNO).
bool Answer(const MessageBoxInfo& box, int buttonId);
// The program's error report: caption "Orvane Analyzer", text starting with
// "Run-time error '" and the error number (a failed HRESULT's number is
// negative and followed by its hexadecimal form).
bool IsErrorReport(const MessageBoxInfo& box);
std::optional<long> ErrorReportNumber(const MessageBoxInfo& box);

// ---- the stand-ins' log --------------------------------------------------------

struct LogEntry {
    unsigned long long ms = 0;
    DWORD processId = 0;
    std::string component;  // "styleman", "engine"
    std::string event;      // operation name, "return", "fail", "New"
    std::vector<std::string> arguments;
    // event and arguments joined by blanks, e.g. "AnalyzeDrive D:".
    std::string Call() const;
};

class StandinLog {
public:
    explicit StandinLog(std::wstring path) : path_(std::move(path)) {}
    const std::wstring& path() const { return path_; }
    std::vector<LogEntry> Read() const;
    // The component's events as Call() texts, in order, leaving out the
    // events named in skip (e.g. the polling calls of every timer tick).
    std::vector<std::string> Calls(const std::string& component,
                                   const std::vector<std::string>& skip = {}) const;
    int Count(const std::string& component, const std::string& call) const;
    bool Contains(const std::string& component, const std::string& call) const {
        return Count(component, call) > 0;
    }

private:
    std::wstring path_;
};

// ---- screenshots ----------------------------------------------------------------

// Saves the screen area (the whole screen when rect is empty) as a BMP named
// name (and ORVANE_SCREENSHOT_SUFFIX) + ".bmp" in the folder of ORVANE_SCREENSHOTS. Returns the
// file written, or nothing when the variable is not set or the capture failed.
std::optional<std::wstring> SaveScreenshot(const std::wstring& name,
                                           const std::optional<RECT>& rect = std::nullopt);
// The colour of a screen pixel (GDI), for checks on what is really drawn.
COLORREF ScreenPixel(POINT at);

// ---- the settings key -----------------------------------------------------------

// HKCU\Software\Mevrak for one test: created on demand, removed (with what
// the test or the program stored under it) when the test ends, and put back
// as it was before.
class SettingsKey {
public:
    SettingsKey();
    ~SettingsKey();
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    void Create() const;
    void Remove() const;
    bool Exists() const;
    void StoreText(const std::string& name, const std::string& bytes) const;
    // The stored bytes and type, if the value exists.
    std::optional<std::pair<DWORD, std::string>> Stored(const std::string& name) const;

private:
    bool existedBefore_ = false;
    std::optional<std::pair<DWORD, std::string>> closeWhenDoneBefore_;
};

}  // namespace orvane::blackbox
