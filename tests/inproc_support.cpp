#include "inproc_support.h"

#include "app/mMain.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace orvane::testing {

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG end = ::GetTickCount64() + ms;
    while (!done()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) return false;
        ::MsgWaitForMultipleObjects(
            0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10)), QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;  // the tests have no loop to end
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}

// --- FakeStyleman ----------------------------------------------------------------

HRESULT FakeStyleman::Create(long* status) {
    calls.push_back(L"Create");
    *status = 0;
    return S_OK;
}
HRESULT FakeStyleman::Activate(long* status) {
    calls.push_back(L"Activate");
    *status = 0;
    return S_OK;
}
HRESULT FakeStyleman::Deactivate(long* status) {
    calls.push_back(L"Deactivate");
    *status = 0;
    return S_OK;
}
HRESULT FakeStyleman::Destroy() {
    calls.push_back(L"Destroy");
    return S_OK;
}

// --- FakeEngine ---------------------------------------------------------------------

int FakeEngine::CountOf(const std::wstring& call) const {
    int n = 0;
    for (const auto& c : calls)
        if (c == call) ++n;
    return n;
}

HRESULT FakeEngine::AnalyzeDrive(BSTR drive) {
    const std::wstring text(drive, ::SysStringLen(drive));
    calls.push_back(L"AnalyzeDrive " + text);
    cancelled_ = false;
    AddRef();  // handlers running inside may drop the program's reference
    if (during_analyze) during_analyze(text);
    PumpUntil([this] { return cancelled_; }, analyze_ms);
    Release();
    return S_OK;
}

HRESULT FakeEngine::FinishDrive() {
    calls.push_back(L"FinishDrive");
    if (during_finish) during_finish();
    return S_OK;
}

HRESULT FakeEngine::GetStatusText(BSTR* out) {
    return com::ReturnBstr(status.c_str(), static_cast<UINT>(status.size()), out);
}

HRESULT FakeEngine::Cancel() {
    calls.push_back(L"Cancel");
    cancelled_ = true;
    return S_OK;
}

HRESULT FakeEngine::GetBytesScanned(BSTR* out) {
    return com::ReturnBstr(bytes.c_str(), static_cast<UINT>(bytes.size()), out);
}

// --- InstalledFakes -------------------------------------------------------------

InstalledFakes::InstalledFakes() : styleman(new FakeStyleman()), engine(new FakeEngine()) {
    styleman->AddRef();
    engine->AddRef();
}

void StartWizard(frmWizard& form, InstalledFakes& fakes) {
    StartUp({
        [&] {
            fakes.styleman->AddRef();
            return com_ptr<IStyleman>(fakes.styleman);
        },
        [&]() -> frmWizard& {
            form.Load();
            return form;
        },
        [&] {
            fakes.engine->AddRef();
            return com_ptr<IAnalysisEngine>(fakes.engine);
        },
    });
    fakes.styleman->calls.clear();
    fakes.engine->calls.clear();
}

InstalledFakes::~InstalledFakes() {
    objStyleman.reset();
    objEngine.reset();
    styleman->Release();
    engine->Release();
}

void CheckOnlyDrives(frmWizard& form, const std::set<std::wstring>& drives) {
    for (int i = 0; i < form.lvwDrives.Count(); ++i)
        form.lvwDrives.SetCheckState(i, drives.count(form.lvwDrives.Tag(i + 1)) > 0);
}

// --- BoxAnswerer ---------------------------------------------------------------------

BoxAnswerer::BoxAnswerer(std::vector<int> answers)
    : answers_(std::move(answers)), thread_([this] { Watch(); }) {}

BoxAnswerer::~BoxAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<BoxAnswerer::Box> BoxAnswerer::Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

namespace {

struct FindBox {
    DWORD process;
    HWND found = nullptr;
};

BOOL CALLBACK FindBoxProc(HWND hwnd, LPARAM lParam) {
    auto* find = reinterpret_cast<FindBox*>(lParam);
    wchar_t cls[32] = {};
    ::GetClassNameW(hwnd, cls, 32);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid == find->process && std::wstring(cls) == L"#32770" && ::IsWindowVisible(hwnd)) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t buffer[2048] = {};
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_BLOCK,
                          2000, &ignored);
    return buffer;
}

}  // namespace

void BoxAnswerer::Watch() {
    size_t answered = 0;
    while (!stop_ && answered < answers_.size()) {
        FindBox find{process_};
        ::EnumWindows(&FindBoxProc, reinterpret_cast<LPARAM>(&find));
        if (!find.found) {
            ::Sleep(20);
            continue;
        }
        ::Sleep(50);  // let the box be placed by its activation first
        Box box;
        box.caption = TextOf(find.found);
        box.text = TextOf(::GetDlgItem(find.found, 0xFFFF));
        ::GetWindowRect(find.found, &box.rect);
        box.owner = ::GetWindow(find.found, GW_OWNER);
        {
            std::lock_guard lock(mutex_);
            boxes_.push_back(box);
        }
        const HWND button = ::GetDlgItem(find.found, answers_[answered]);
        ::PostMessageW(button, BM_CLICK, 0, 0);
        ++answered;
        while (!stop_ && ::IsWindow(find.found)) ::Sleep(10);
    }
}

// --- ScopedSettingsKey -----------------------------------------------------------------

ScopedSettingsKey::ScopedSettingsKey(bool exists, const char* close_when_done) {
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Mevrak");
    if (!exists) return;
    unique_hkey key;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Mevrak", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      key.put(), nullptr);
    if (close_when_done)
        ::RegSetValueExA(key.get(), "CloseWhenDone", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(close_when_done),
                         static_cast<DWORD>(strlen(close_when_done)));
}

ScopedSettingsKey::~ScopedSettingsKey() { ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Mevrak"); }

std::string ScopedSettingsKey::StoredValue() {
    char data[64] = {};
    DWORD size = sizeof(data), type = 0;
    if (::RegGetValueA(HKEY_CURRENT_USER, "Software\\Mevrak", "CloseWhenDone", RRF_RT_ANY, &type,
                       data, &size) != ERROR_SUCCESS)
        return "<none>";
    return std::string(data, size);
}

bool HasTestDrives() {
    const DWORD drives = ::GetLogicalDrives();
    auto has = [&](char letter) { return (drives & (1u << (letter - 'A'))) != 0; };
    return has('D') && has('E') && has('F') && has('G') && has('H') && has('I') && has('R');
}

}  // namespace orvane::testing
