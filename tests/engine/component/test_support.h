// Helpers of the engine's component tests: folder trees built with Win32
// calls in the temporary folder, a drive letter mapped onto one, the engine
// created straight from its DLL, a window whose timer runs code inside the
// engine's calls, and a small JSON reader for the reports.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "orvane/components.h"
#include "orvane/win32_handles.h"

namespace engine_test {

// A folder under %TEMP% removed with everything in it at the end.
class TempTree {
public:
    explicit TempTree(const std::wstring& name);
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    ~TempTree();

    const std::wstring& root() const { return root_; }  // "C:\...\name", no trailing backslash
    // Both take paths relative to the root and create what is missing above.
    void AddFolder(const std::wstring& relative);
    void AddFile(const std::wstring& relative, std::size_t bytes);

private:
    std::wstring root_;
};

// The big tree the test run prepared (ORVANE_ENGINE_BIG_TREE: "crowd" holds
// 20,000 empty files, "spread" 200 small files in 220 folders), or empty.
std::wstring PreparedBigTree();
// The folder a tree made on the Linux side before the run is in, named by
// the environment `variable`, or empty.
std::wstring PreparedTree(const wchar_t* variable);

// "\\?\" + path, for paths beyond MAX_PATH.
std::wstring Extended(const std::wstring& path);
void RemoveTree(const std::wstring& path);

// Calls `visit` for every entry of `folder` but "." and "..".
void ForEachEntry(const std::wstring& folder,
                  const std::function<void(const WIN32_FIND_DATAW&)>& visit);
// A folder, not a link to one.
bool IsFolderToEnter(const WIN32_FIND_DATAW& data);

// What an independent walk (FindFirstFileW, links not followed) sees.
struct Census {
    std::uint64_t files = 0;
    std::uint64_t folders = 0;  // the starting folder included
    std::uint64_t apparent_bytes = 0;
};
Census TakeCensus(const std::wstring& folder);

// A drive letter that shows `folder` for as long as the object lives. With
// `device` (an image file), Wine also gives the drive that file as its raw
// device, so \\.\X: reads the image as a volume; Windows cannot do this.
class MappedDrive {
public:
    explicit MappedDrive(const std::wstring& folder, const std::wstring& device = {});
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;
    ~MappedDrive();

    bool ok() const { return letter_ != 0; }
    std::wstring drive() const { return std::wstring{letter_, L':'}; }  // "Q:"
    std::wstring root() const { return drive() + L"\\"; }

private:
    bool Define(wchar_t letter, const std::wstring& folder, const std::wstring& device);
    void Remove();
    wchar_t letter_ = 0;
    bool through_mount_manager_ = false;
    std::wstring target_;
};

// The engine created from AnalysisEngine.dll beside the test program, without
// any registration.
class EngineDll {
public:
    EngineDll();
    EngineDll(const EngineDll&) = delete;
    EngineDll& operator=(const EngineDll&) = delete;

    HRESULT Create(orvane::IAnalysisEngine** engine) const;
    HRESULT CanUnloadNow() const;
    bool loaded() const { return static_cast<bool>(module_); }

private:
    orvane::unique_hmodule module_;
};

// An owned engine reference.
struct EngineRelease {
    void operator()(orvane::IAnalysisEngine* engine) const { engine->Release(); }
};
using EnginePtr = std::unique_ptr<orvane::IAnalysisEngine, EngineRelease>;

std::wstring StatusText(orvane::IAnalysisEngine& engine);
std::wstring BytesScanned(orvane::IAnalysisEngine& engine);
HRESULT Analyze(orvane::IAnalysisEngine& engine, const std::wstring& drive);

// A hidden window whose timer calls `on_tick` on the test thread.
class TickWindow {
public:
    TickWindow(UINT interval_ms, std::function<void(TickWindow&)> on_tick);
    ~TickWindow();
    TickWindow(const TickWindow&) = delete;
    TickWindow& operator=(const TickWindow&) = delete;

    void Stop();
    int ticks() const { return ticks_; }

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    std::function<void(TickWindow&)> on_tick_;
    int ticks_ = 0;
};

// Takes away whatever the test left in the thread's queue (WM_QUIT too).
void DrainMessages();

// The status text split the way the wizard splits it.
struct StatusFields {
    std::wstring folder;  // field 0 with its last character dropped
    wchar_t dropped = 0;  // that character
    std::wstring count;   // field 1 without " scanned"
    bool well_formed = false;
};
StatusFields SplitStatus(const std::wstring& text);
// The count with the user's grouping separators taken out; -1 if anything
// else than digits and separators is left.
long long ParseGroupedCount(const std::wstring& count);

// Enough JSON to check a report: a strict parser into a small tree.
struct Json {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
    std::string number;  // the literal text, exact for 64-bit integers
    std::string text;    // UTF-8
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json* Find(const std::string& key) const;
    unsigned long long AsUnsigned() const;
};
// False when `text` is not exactly one valid JSON value.
bool ParseJson(const std::string& text, Json& out);

std::wstring ReportsFolder();
// The report files of `drive_letter` in the reports folder, by name.
std::vector<std::wstring> ReportFiles(wchar_t drive_letter);
std::string ReadFileBytes(const std::wstring& path);
// Deletes the drive's reports, JSON and page alike.
void RemoveReports(wchar_t drive_letter);

}  // namespace engine_test
