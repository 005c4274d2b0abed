// Helpers of the in-process tests: fake components that log their calls, an
// answerer for message boxes, message pumping, and scoped registry values.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "orvane/com_server.h"
#include "orvane/components.h"
#include "orvane/win32_handles.h"
#include "wizard/frmWizard.h"

namespace orvane::testing {

// Dispatches this thread's messages for about ms milliseconds.
void PumpFor(DWORD ms);
// Dispatches messages until done() holds or ms have passed; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD ms);

class FakeStyleman : public com::DispatchObject<IStyleman, IID_IStyleman> {
public:
    std::vector<std::wstring> calls;
    HRESULT STDMETHODCALLTYPE Create(long* status) override;
    HRESULT STDMETHODCALLTYPE Activate(long* status) override;
    HRESULT STDMETHODCALLTYPE Deactivate(long* status) override;
    HRESULT STDMETHODCALLTYPE Destroy() override;
};

// An engine whose per-drive calls keep messages flowing for a while, as the
// real one does, and run a test's code nested inside them.
class FakeEngine : public com::DispatchObject<AnalysisEngineReservedSlots, IID_IAnalysisEngine> {
public:
    std::vector<std::wstring> calls;
    DWORD analyze_ms = 0;  // how long AnalyzeDrive keeps messages flowing
    std::function<void(const std::wstring& drive)> during_analyze;
    std::function<void()> during_finish;
    std::wstring status = L"C:\\Data\\|1 scanned";
    std::wstring bytes = L"0";
    int CountOf(const std::wstring& call) const;

    HRESULT STDMETHODCALLTYPE FinishDrive() override;
    HRESULT STDMETHODCALLTYPE AnalyzeDrive(BSTR drive) override;
    HRESULT STDMETHODCALLTYPE GetStatusText(BSTR* status) override;
    HRESULT STDMETHODCALLTYPE Cancel() override;
    HRESULT STDMETHODCALLTYPE GetBytesScanned(BSTR* bytes) override;

private:
    bool cancelled_ = false;
};

// Fakes that start-up installs as the program's two components for one test.
// The test keeps references of its own, so it can look at them after the
// program has let go; the program's references are cleared afterwards.
class InstalledFakes {
public:
    InstalledFakes();
    ~InstalledFakes();
    InstalledFakes(const InstalledFakes&) = delete;
    InstalledFakes& operator=(const InstalledFakes&) = delete;
    FakeStyleman* const styleman;
    FakeEngine* const engine;
};

// The program's start-up sequence with the fakes as its components and form
// as the wizard: what Main does, with the test's own window. The fakes' call
// logs are cleared afterwards, so a test sees only what it caused.
void StartWizard(frmWizard& form, InstalledFakes& fakes);

// Answers the message boxes this process shows, one answer each, from a
// watcher thread, and remembers what each box said and where it stood.
class BoxAnswerer {
public:
    struct Box {
        std::wstring caption;
        std::wstring text;
        RECT rect{};
        HWND owner = nullptr;
    };
    explicit BoxAnswerer(std::vector<int> answers);
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    std::vector<Box> Boxes() const;

private:
    void Watch();
    std::vector<int> answers_;
    std::vector<Box> boxes_;
    mutable std::mutex mutex_;
    std::atomic<bool> stop_{false};
    DWORD process_ = ::GetCurrentProcessId();
    std::thread thread_;
};

// HKCU\Software\Mevrak, created for a test (optionally with CloseWhenDone)
// and removed afterwards; absent when created with exists = false.
class ScopedSettingsKey {
public:
    explicit ScopedSettingsKey(bool exists, const char* close_when_done = nullptr);
    ~ScopedSettingsKey();
    ScopedSettingsKey(const ScopedSettingsKey&) = delete;
    ScopedSettingsKey& operator=(const ScopedSettingsKey&) = delete;
    // The stored CloseWhenDone bytes, or "<none>".
    static std::string StoredValue();
};

// Checks exactly the listed drives ("C:") in the wizard's drive list.
void CheckOnlyDrives(frmWizard& form, const std::set<std::wstring>& drives);

// Whether the current Wine prefix has the drive letters the tests expect.
bool HasTestDrives();

}  // namespace orvane::testing
