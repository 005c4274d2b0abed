#include "automation.h"

#include "test_text.h"

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <sstream>
#include <thread>

namespace orvane::blackbox {
namespace {

constexpr UINT kMessageTimeoutMs = 5000;
constexpr wchar_t kWizardClass[] = L"OrvaneAnalyzerWizard";
constexpr wchar_t kWizardCaption[] = L"Orvane Analyzer";
constexpr char kSettingsPath[] = "Software\\Mevrak";

LRESULT SendWithTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                               &result)) {
        return 0;
    }
    return static_cast<LRESULT>(result);
}

// Memory in another process for messages whose arguments point to memory.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size)
        : process_(process),
          address_(
              ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    ~RemoteBuffer() {
        if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    explicit operator bool() const { return address_ != nullptr; }
    char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
    bool Write(size_t offset, const void* data, size_t size) const {
        SIZE_T done = 0;
        return ::WriteProcessMemory(process_, at(offset), data, size, &done) && done == size;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        SIZE_T done = 0;
        return ::ReadProcessMemory(process_, at(offset), data, size, &done) && done == size;
    }

private:
    HANDLE process_;
    void* address_;
};

std::string ReadWholeFile(const std::wstring& path) {
    unique_file file{::CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    std::string bytes;
    if (!file) return bytes;
    char chunk[8192];
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    return bytes;
}

bool WriteWholeFile(const std::wstring& path, const void* data, size_t size) {
    unique_file file{::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) &&
           written == size;
}

// The environment block of this process with the overrides applied.
std::wstring EnvironmentBlock(const std::map<std::wstring, std::wstring>& overrides) {
    std::map<std::wstring, std::wstring> variables;
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
            const std::wstring text = entry;
            // Entries like "=C:=C:\" keep their leading '='.
            const size_t equals = text.find(L'=', 1);
            if (equals == std::wstring::npos) continue;
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        ::FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : overrides) {
        // Names are case-insensitive: drop any spelling of the same name.
        for (auto it = variables.begin(); it != variables.end();) {
            it = ::lstrcmpiW(it->first.c_str(), name.c_str()) == 0 ? variables.erase(it)
                                                                   : std::next(it);
        }
        variables[name] = value;
    }
    std::wstring block;
    for (const auto& [name, value] : variables) {
        block += name + L"=" + value;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream stream(line);
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(milliseconds(20));
    }
}

std::wstring Widen(const std::string& utf8) { return testtext::FromUtf8(utf8); }

std::string Narrow(const std::wstring& text) { return testtext::ToUtf8(text); }

std::wstring HostPathToWindows(const std::string& path) {
    if (!path.empty() && path[0] == '/') {
        // Wine's own export; absent on Windows, where paths are already DOS paths.
        using ToDos = WCHAR*(CDECL*)(const char*);
        const auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
        if (toDos) {
            if (WCHAR* dos = toDos(path.c_str())) {
                std::wstring result = dos;
                ::HeapFree(::GetProcessHeap(), 0, dos);
                return result;
            }
        }
    }
    return Widen(path);
}

std::wstring EnvironmentValue(const wchar_t* name) { return testtext::EnvironmentValue(name); }

// ---- StagingFolder ----------------------------------------------------------------

StagingFolder::StagingFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    for (;;) {
        path_ = std::wstring(temp) + L"orvane-bb-" + std::to_wstring(::GetCurrentProcessId()) +
                L"-" + std::to_wstring(::InterlockedIncrement(&counter));
        if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

StagingFolder::~StagingFolder() {
    // The program's image stays locked for a moment after it exits.
    WaitUntil(
        [&] {
            WIN32_FIND_DATAW found{};
            const HANDLE find = ::FindFirstFileW((path_ + L"\\*").c_str(), &found);
            if (find != INVALID_HANDLE_VALUE) {
                do {
                    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                        ::DeleteFileW(File(found.cFileName).c_str());
                    }
                } while (::FindNextFileW(find, &found));
                ::FindClose(find);
            }
            return ::RemoveDirectoryW(path_.c_str()) != FALSE;
        },
        milliseconds(3000));
}

bool StagingFolder::CopyIn(const std::wstring& source, const std::wstring& name) const {
    return ::CopyFileW(source.c_str(), File(name).c_str(), FALSE) != FALSE;
}

bool StagingFolder::WriteText(const std::wstring& name, const std::string& utf8) const {
    return WriteWholeFile(File(name), utf8.data(), utf8.size());
}

// ---- Process -------------------------------------------------------------------------

std::optional<Process> Process::Start(const std::wstring& exe, const std::wstring& folder,
                                      const std::map<std::wstring, std::wstring>& environment) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    std::wstring block = EnvironmentBlock(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT, block.data(), folder.c_str(), &startup,
                          &info)) {
        return std::nullopt;
    }
    const unique_handle thread(info.hThread);  // only the process is waited for
    return Process(unique_handle{info.hProcess}, info.dwProcessId);
}

Process::~Process() {
    if (handle_ && Running()) {
        Kill();
        ::WaitForSingleObject(handle_.get(), 10000);
    }
}

bool Process::Running() const { return ::WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT; }

std::optional<DWORD> Process::WaitForExit(milliseconds timeout) const {
    if (::WaitForSingleObject(handle_.get(), static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    if (!::GetExitCodeProcess(handle_.get(), &code)) return std::nullopt;
    return code;
}

void Process::Kill() const { ::TerminateProcess(handle_.get(), 0xDEAD); }

// ---- windows ---------------------------------------------------------------------------

std::vector<HWND> TopLevelWindows(DWORD processId) {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    ::EnumWindows(
        [](HWND hwnd, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->processId) s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[256] = {};
    ::GetClassNameW(hwnd, name, 256);
    return name;
}

std::string DescribeWindows(DWORD processId) {
    std::string text;
    for (HWND hwnd : TopLevelWindows(processId)) {
        wchar_t caption[128] = {};
        ::GetWindowTextW(hwnd, caption, 128);
        text += "  " + Narrow(ClassName(hwnd)) + " \"" + Narrow(caption) + "\"" +
                (::IsWindowVisible(hwnd) ? " visible" : " hidden") + "\n";
        if (ClassName(hwnd) != L"#32770") continue;
        ::EnumChildWindows(
            hwnd,
            [](HWND child, LPARAM context) -> BOOL {
                *reinterpret_cast<std::string*>(context) +=
                    "    " + Narrow(ClassName(child)) + " id " +
                    std::to_string(::GetDlgCtrlID(child)) + " \"" + Narrow(Text(child)) + "\"\n";
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&text));
    }
    return text.empty() ? "  (no windows)\n" : text;
}

std::wstring Text(HWND hwnd) {
    if (!hwnd) return {};
    const LRESULT length = SendWithTimeout(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendWithTimeout(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(copied));
    return text;
}

bool Visible(HWND hwnd) { return hwnd && ::IsWindowVisible(hwnd); }
bool Enabled(HWND hwnd) { return hwnd && ::IsWindowEnabled(hwnd); }

RECT WindowRect(HWND hwnd) {
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return rect;
}

RECT ClientRectOnScreen(HWND hwnd) {
    RECT rect{};
    ::GetClientRect(hwnd, &rect);
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT RectInClient(HWND top, HWND control) {
    RECT rect = WindowRect(control);
    ::MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE Size(const RECT& rect) { return {rect.right - rect.left, rect.bottom - rect.top}; }

HWND FindWizard(DWORD processId) {
    for (HWND hwnd : TopLevelWindows(processId)) {
        if (ClassName(hwnd) != kWizardClass) continue;
        wchar_t caption[64] = {};
        ::GetWindowTextW(hwnd, caption, 64);
        if (std::wstring(caption) == kWizardCaption) return hwnd;
    }
    return nullptr;
}

HWND FindControl(HWND top, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    ::EnumChildWindows(
        top,
        [](HWND hwnd, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (::GetDlgCtrlID(hwnd) != s->id) return TRUE;
            s->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool InFrontOf(HWND front, HWND back) {
    if (!front || !back || ::GetParent(front) != ::GetParent(back)) return false;
    for (HWND next = ::GetWindow(front, GW_HWNDNEXT); next; next = ::GetWindow(next, GW_HWNDNEXT)) {
        if (next == back) return true;
    }
    return false;
}

int CheckState(HWND checkBox) {
    return static_cast<int>(SendWithTimeout(checkBox, BM_GETCHECK, 0, 0));
}

int ProgressPosition(HWND bar) { return static_cast<int>(SendWithTimeout(bar, PBM_GETPOS, 0, 0)); }

void Click(HWND button) { ::PostMessageW(button, BM_CLICK, 0, 0); }

void CloseWithCloseBox(HWND top) { ::PostMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0); }

// ---- RemoteListView --------------------------------------------------------------------

int RemoteListView::Count() const {
    return static_cast<int>(SendWithTimeout(list_, LVM_GETITEMCOUNT, 0, 0));
}

UINT RemoteListView::State(int item, UINT mask) const {
    return static_cast<UINT>(SendWithTimeout(list_, LVM_GETITEMSTATE, item, mask));
}

std::wstring RemoteListView::ItemText(int item) const {
    constexpr int kChars = 512;
    const RemoteBuffer buffer(process_, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    if (!buffer) return {};
    LVITEMW record{};
    record.iSubItem = 0;
    record.pszText = reinterpret_cast<LPWSTR>(buffer.at(sizeof(LVITEMW)));
    record.cchTextMax = kChars;
    if (!buffer.Write(0, &record, sizeof record)) return {};
    const LRESULT length =
        SendWithTimeout(list_, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(buffer.at(0)));
    std::wstring text(kChars, L'\0');
    if (!buffer.Read(sizeof(LVITEMW), text.data(), kChars * sizeof(wchar_t))) return {};
    text.resize(static_cast<size_t>(length));
    return text;
}

bool RemoteListView::SetChecked(int item, bool checked) const {
    const RemoteBuffer buffer(process_, sizeof(LVITEMW));
    if (!buffer) return false;
    LVITEMW record{};
    record.stateMask = LVIS_STATEIMAGEMASK;
    record.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    if (!buffer.Write(0, &record, sizeof record)) return false;
    return SendWithTimeout(list_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(buffer.at(0))) !=
           0;
}

std::vector<DriveEntry> ReadDriveList(const RemoteListView& list) {
    std::vector<DriveEntry> entries;
    const int count = list.Count();
    for (int i = 0; i < count; ++i) {
        DriveEntry entry;
        entry.index = i;
        entry.text = list.ItemText(i);
        const size_t open = entry.text.rfind(L'(');
        if (open != std::wstring::npos && open + 3 < entry.text.size() &&
            entry.text.compare(open + 2, 2, L":)") == 0) {
            entry.letter = static_cast<wchar_t>(towupper(entry.text[open + 1]));
        }
        const UINT state = list.State(i, LVIS_STATEIMAGEMASK | LVIS_CUT);
        entry.checked = (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
        entry.marked = (state & LVIS_CUT) != 0;
        entries.push_back(entry);
    }
    return entries;
}

std::optional<DriveEntry> FindDrive(const std::vector<DriveEntry>& entries, wchar_t letter) {
    for (const DriveEntry& entry : entries) {
        if (entry.letter == letter) return entry;
    }
    return std::nullopt;
}

// ---- message boxes ---------------------------------------------------------------------

std::vector<MessageBoxInfo> MessageBoxes(DWORD processId) {
    std::vector<MessageBoxInfo> boxes;
    for (HWND hwnd : TopLevelWindows(processId)) {
        if (ClassName(hwnd) != L"#32770" || !::IsWindowVisible(hwnd)) continue;
        MessageBoxInfo box;
        box.hwnd = hwnd;
        box.owner = ::GetWindow(hwnd, GW_OWNER);
        box.caption = Text(hwnd);
        box.text = Text(::GetDlgItem(hwnd, 0xFFFF));
        boxes.push_back(box);
    }
    return boxes;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, milliseconds timeout) {
    std::optional<MessageBoxInfo> found;
    WaitUntil(
        [&] {
            const auto boxes = MessageBoxes(processId);
            if (boxes.empty()) return false;
            found = boxes.front();
            return true;
        },
        timeout);
    return found;
}

bool Answer(const MessageBoxInfo& box, int buttonId) {
    const HWND button = ::GetDlgItem(box.hwnd, buttonId);
    if (!button) return false;
    Click(button);
    return true;
}

bool IsErrorReport(const MessageBoxInfo& box) {
    return box.caption == kWizardCaption && ErrorReportNumber(box).has_value();
}

std::optional<long> ErrorReportNumber(const MessageBoxInfo& box) {
    const std::wstring prefix = L"Run-time error '";
    if (box.text.rfind(prefix, 0) != 0) return std::nullopt;
    const wchar_t* digits = box.text.c_str() + prefix.size();
    wchar_t* end = nullptr;
    const long number = std::wcstol(digits, &end, 10);
    // A failed HRESULT reads like "-2147024891 (80070005)".
    if (end == digits || (*end != L'\'' && *end != L' ')) return std::nullopt;
    return number;
}

// ---- the stand-ins' log --------------------------------------------------------------

std::string LogEntry::Call() const {
    std::string text = event;
    for (const std::string& argument : arguments) text += " " + argument;
    return text;
}

std::vector<LogEntry> StandinLog::Read() const {
    std::vector<LogEntry> entries;
    std::istringstream lines(ReadWholeFile(path_));
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> words = SplitWords(line);
        // A line still being written has no newline yet and may be cut short.
        if (words.size() < 4 || lines.eof()) continue;
        LogEntry entry;
        entry.ms = std::strtoull(words[0].c_str(), nullptr, 10);
        entry.processId = static_cast<DWORD>(std::strtoul(words[1].c_str(), nullptr, 10));
        entry.component = words[2];
        entry.event = words[3];
        entry.arguments.assign(words.begin() + 4, words.end());
        entries.push_back(entry);
    }
    return entries;
}

std::vector<std::string> StandinLog::Calls(const std::string& component,
                                           const std::vector<std::string>& skip) const {
    std::vector<std::string> calls;
    for (const LogEntry& entry : Read()) {
        if (entry.component != component) continue;
        bool skipped = false;
        for (const std::string& name : skip) skipped = skipped || entry.event == name;
        if (!skipped) calls.push_back(entry.Call());
    }
    return calls;
}

int StandinLog::Count(const std::string& component, const std::string& call) const {
    int count = 0;
    for (const LogEntry& entry : Read()) {
        if (entry.component == component && entry.Call() == call) ++count;
    }
    return count;
}

// ---- screenshots ---------------------------------------------------------------------

std::optional<std::wstring> SaveScreenshot(const std::wstring& name,
                                           const std::optional<RECT>& rect) {
    const std::wstring folderSetting = EnvironmentValue(L"ORVANE_SCREENSHOTS");
    if (folderSetting.empty()) return std::nullopt;
    const std::wstring folder = HostPathToWindows(Narrow(folderSetting));
    ::CreateDirectoryW(folder.c_str(), nullptr);

    RECT area =
        rect.value_or(RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)});
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return std::nullopt;

    const unique_window_dc screen(nullptr);
    const unique_mem_dc memory{::CreateCompatibleDC(screen.get())};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const unique_gdi bitmap{
        ::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0)};
    if (!memory || !bitmap || !bits) return std::nullopt;
    const HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
    const BOOL copied =
        ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY);
    ::GdiFlush();
    ::SelectObject(memory.get(), old);
    if (!copied) return std::nullopt;

    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    std::string file(reinterpret_cast<const char*>(&header), sizeof header);
    file.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    file.append(static_cast<const char*>(bits), imageSize);
    // Runs at other display scales keep their pictures apart (name-dpi192).
    const std::wstring suffix = EnvironmentValue(L"ORVANE_SCREENSHOT_SUFFIX");
    const std::wstring path = folder + L"\\" + name + suffix + L".bmp";
    if (!WriteWholeFile(path, file.data(), file.size())) return std::nullopt;
    return path;
}

COLORREF ScreenPixel(POINT at) {
    const unique_window_dc screen(nullptr);
    return ::GetPixel(screen.get(), at.x, at.y);
}

// ---- the settings key ------------------------------------------------------------------

SettingsKey::SettingsKey() {
    existedBefore_ = Exists();
    if (existedBefore_) closeWhenDoneBefore_ = Stored("CloseWhenDone");
}

SettingsKey::~SettingsKey() {
    Remove();
    if (!existedBefore_) return;
    Create();
    if (closeWhenDoneBefore_) {
        unique_hkey key;
        HKEY raw = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_SET_VALUE, &raw) ==
            ERROR_SUCCESS) {
            key.reset(raw);
            ::RegSetValueExA(key.get(), "CloseWhenDone", 0, closeWhenDoneBefore_->first,
                             reinterpret_cast<const BYTE*>(closeWhenDoneBefore_->second.data()),
                             static_cast<DWORD>(closeWhenDoneBefore_->second.size()));
        }
    }
}

void SettingsKey::Create() const {
    HKEY raw = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &raw, nullptr) == ERROR_SUCCESS) {
        unique_hkey key{raw};
    }
}

void SettingsKey::Remove() const { ::RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsPath); }

bool SettingsKey::Exists() const {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_QUERY_VALUE, &raw) !=
        ERROR_SUCCESS) {
        return false;
    }
    unique_hkey key{raw};
    return true;
}

void SettingsKey::StoreText(const std::string& name, const std::string& bytes) const {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_SET_VALUE, &raw) !=
        ERROR_SUCCESS) {
        return;
    }
    unique_hkey key{raw};
    ::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}

std::optional<std::pair<DWORD, std::string>> SettingsKey::Stored(const std::string& name) const {
    HKEY raw = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_QUERY_VALUE, &raw) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    unique_hkey key{raw};
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::string data(size, '\0');
    if (::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    data.resize(size);
    return std::make_pair(type, data);
}

}  // namespace orvane::blackbox
