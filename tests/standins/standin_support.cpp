#include "standin_support.h"

#include "test_text.h"

#include "orvane/win32_handles.h"

#include <cwchar>
#include <cwctype>
#include <mutex>

namespace orvane::standin {
namespace {

using testtext::EnvironmentValue;
using testtext::FromUtf8;
using testtext::ToUtf8;

std::wstring Trim(const std::wstring& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && std::iswspace(text[first])) ++first;
    while (last > first && std::iswspace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// Both stand-ins may write from one process, and a component may be called
// from more than one thread: one line must never be split by another.
std::mutex& LogLock() {
    static std::mutex lock;
    return lock;
}

// Opened once per process; shared for reading and writing so that the test
// reads it while the program runs and both stand-ins append to it.
HANDLE LogFile() {
    static const unique_file file = [] {
        const std::wstring path = EnvironmentValue(L"ORVANE_STANDIN_LOG");
        if (path.empty()) return unique_file{};
        return unique_file{::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    }();
    return file.get();
}

unsigned long long WallClockMs() {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / 10000;
}

std::optional<HRESULT> ParseHresult(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(text.c_str(), &end, 0);
    if (!end || *end != L'\0') return std::nullopt;
    return static_cast<HRESULT>(value);
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One pass over the pending messages. Returns false on WM_QUIT, whose exit
// code is stored for re-posting.
bool PumpPending(int& quitCode) {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitCode = static_cast<int>(msg.wParam);
            return false;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

}  // namespace

void LogEvent(const wchar_t* component, const std::wstring& event) {
    const HANDLE file = LogFile();
    if (!file || file == INVALID_HANDLE_VALUE) return;
    const std::string line = std::to_string(WallClockMs()) + " " +
                             std::to_string(::GetCurrentProcessId()) + " " + ToUtf8(component) +
                             " " + ToUtf8(event) + "\n";
    std::lock_guard guard(LogLock());
    DWORD written = 0;
    // Unbuffered: every line is in the file when WriteFile returns.
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

Script Script::Load() {
    const std::wstring path = EnvironmentValue(L"ORVANE_STANDIN_SCRIPT");
    if (path.empty()) return {};
    std::string bytes;
    const unique_file file{::CreateFileW(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file) {
        char chunk[4096];
        DWORD read = 0;
        while (::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
            bytes.append(chunk, read);
        }
    }
    Script script = Parse(bytes);
    const size_t slash = path.find_last_of(L"\\/");
    script.folder_ = slash == std::wstring::npos ? std::wstring{} : path.substr(0, slash + 1);
    return script;
}

Script Script::Parse(const std::string& utf8Text) {
    Script script;
    const std::wstring text = FromUtf8(utf8Text);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        const std::wstring trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == L'#') continue;
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        // Values keep their blanks: a status text may end in one on purpose.
        script.entries_.emplace_back(Trim(line.substr(0, equals)), line.substr(equals + 1));
    }
    return script;
}

std::vector<std::wstring> Script::All(const std::wstring& key) const {
    std::vector<std::wstring> values;
    for (const auto& [k, v] : entries_) {
        if (k == key) values.push_back(v);
    }
    return values;
}

std::optional<std::wstring> Script::First(const std::wstring& key) const {
    for (const auto& [k, v] : entries_) {
        if (k == key) return v;
    }
    return std::nullopt;
}

long Script::Number(const std::wstring& key, long fallback) const {
    const auto value = First(key);
    if (!value) return fallback;
    wchar_t* end = nullptr;
    const long number = std::wcstol(value->c_str(), &end, 0);
    return end && end != value->c_str() ? number : fallback;
}

bool OperationMatches(const std::wstring& pattern, const std::wstring& operation, long callNumber) {
    const size_t hash = pattern.find(L'#');
    if (hash == std::wstring::npos) return pattern == operation;
    if (pattern.compare(0, hash, operation) != 0 || hash != operation.size()) return false;
    return std::wcstol(pattern.c_str() + hash + 1, nullptr, 10) == callNumber;
}

HRESULT Script::FailureFor(const std::wstring& operation, long callNumber) const {
    for (const std::wstring& rule : All(L"fail")) {
        const size_t colon = rule.rfind(L':');
        if (colon == std::wstring::npos) continue;
        if (!OperationMatches(Trim(rule.substr(0, colon)), operation, callNumber)) continue;
        if (const auto hr = ParseHresult(Trim(rule.substr(colon + 1)))) return *hr;
    }
    return S_OK;
}

bool Script::Holds(const std::wstring& operation, long callNumber) const {
    for (const std::wstring& rule : All(L"hold")) {
        if (OperationMatches(Trim(rule), operation, callNumber)) return true;
    }
    return false;
}

std::wstring Script::ReleaseFile(const std::wstring& operation, long callNumber) const {
    return folder_ + L"release." + operation + L"." + std::to_wstring(callNumber);
}

const wchar_t* Describe(WorkEnd end) {
    switch (end) {
        case WorkEnd::Done:
            return L"done";
        case WorkEnd::Cancelled:
            return L"cancelled";
        case WorkEnd::Quit:
            return L"quit";
    }
    return L"?";
}

WorkEnd WorkWhilePumping(DWORD durationMs, const std::wstring& releaseFile, HANDLE cancelEvent) {
    const bool held = !releaseFile.empty();
    const ULONGLONG start = ::GetTickCount64();
    int quitCode = 0;
    WorkEnd end = WorkEnd::Done;
    for (;;) {
        // A component that works must let the caller's window go on: pump at
        // least once, even for a call that takes no time.
        const bool quit = !PumpPending(quitCode);
        // A Cancel handled in this pass often unloads the caller's window,
        // which posts WM_QUIT in the same pass: it still counts as a cancel.
        if (::WaitForSingleObject(cancelEvent, 0) == WAIT_OBJECT_0) {
            end = WorkEnd::Cancelled;
            if (quit) ::PostQuitMessage(quitCode);
            break;
        }
        if (quit) {
            end = WorkEnd::Quit;
            break;
        }
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        DWORD wait = 20;
        if (held) {
            if (FileExists(releaseFile)) break;
        } else {
            if (elapsed >= durationMs) break;
            const ULONGLONG remaining = durationMs - elapsed;
            if (remaining < wait) wait = static_cast<DWORD>(remaining);
        }
        ::MsgWaitForMultipleObjectsEx(1, &cancelEvent, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    if (end == WorkEnd::Quit) ::PostQuitMessage(quitCode);
    return end;
}

std::wstring HresultText(HRESULT hr) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

}  // namespace orvane::standin
