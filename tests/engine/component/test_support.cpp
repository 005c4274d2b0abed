#include "test_support.h"

#include <shlobj.h>
#include <winioctl.h>

#include <algorithm>
#include <stdexcept>

namespace engine_test {

namespace {

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    std::wstring folder(buffer, length);
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

void Check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string(what) + " failed, error " +
                                 std::to_string(::GetLastError()));
}

std::wstring ParentOf(const std::wstring& path) {
    const std::size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void CreateFolders(const std::wstring& path) {
    if (::GetFileAttributesW(Extended(path).c_str()) != INVALID_FILE_ATTRIBUTES) return;
    CreateFolders(ParentOf(path));
    Check(::CreateDirectoryW(Extended(path).c_str(), nullptr) ||
              ::GetLastError() == ERROR_ALREADY_EXISTS,
          "CreateDirectoryW");
}

}  // namespace

std::wstring Extended(const std::wstring& path) { return L"\\\\?\\" + path; }

std::wstring PreparedBigTree() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"ORVANE_ENGINE_BIG_TREE", buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    const std::wstring root(buffer, length);
    return ::GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES ? root : std::wstring();
}

TempTree::TempTree(const std::wstring& name)
    : root_(TempFolder() + L"\\orvane-engine-" + name + L"-" +
            std::to_wstring(::GetCurrentProcessId())) {
    RemoveTree(root_);
    CreateFolders(root_);
}

TempTree::~TempTree() { RemoveTree(root_); }

void TempTree::AddFolder(const std::wstring& relative) { CreateFolders(root_ + L"\\" + relative); }

void TempTree::AddFile(const std::wstring& relative, std::size_t bytes) {
    const std::wstring path = root_ + L"\\" + relative;
    CreateFolders(ParentOf(path));
    const HANDLE file = ::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    Check(file != INVALID_HANDLE_VALUE, "CreateFileW");
    if (bytes != 0) {
        const std::string data(bytes, 'o');
        DWORD written = 0;
        const BOOL ok =
            ::WriteFile(file, data.data(), static_cast<DWORD>(bytes), &written, nullptr);
        ::CloseHandle(file);
        Check(ok && written == bytes, "WriteFile");
    } else {
        ::CloseHandle(file);
    }
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const HANDLE find = ::FindFirstFileW(Extended(path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
            if (folder) {
                RemoveTree(child);
            } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                ::RemoveDirectoryW(Extended(child).c_str());
            } else {
                ::SetFileAttributesW(Extended(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(Extended(child).c_str());
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(Extended(path).c_str());
}

Census TakeCensus(const std::wstring& folder) {
    Census census;
    std::vector<std::wstring> pending{folder};
    census.folders = 1;
    while (!pending.empty()) {
        const std::wstring current = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAW data;
        const HANDLE find = ::FindFirstFileW(Extended(current + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const bool folder_entry = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                      !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
            if (folder_entry) {
                ++census.folders;
                pending.push_back(current + L"\\" + name);
            } else {
                ++census.files;
                census.apparent_bytes +=
                    (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            }
        } while (::FindNextFileW(find, &data));
        ::FindClose(find);
    }
    return census;
}

// --- Drive letters ------------------------------------------------------

namespace {

// Wine keeps its drive letters as links in the prefix and does not let
// DefineDosDevice reach the file system; its mount manager takes a Linux
// path instead (what its own configuration tool does). Windows needs none
// of this: there DefineDosDevice works.
struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset;
    USHORT device_offset;
    USHORT label_offset;
};
constexpr DWORD kWineDefineUnixDrive =
    CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

using WineUnixNameFn = char*(CDECL*)(const wchar_t*);

WineUnixNameFn WineUnixName() {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<WineUnixNameFn>(reinterpret_cast<void*>(
                        ::GetProcAddress(kernel, "wine_get_unix_file_name")))
                  : nullptr;
}

bool WineMountManager(wchar_t letter, const std::string& unix_path) {
    const HANDLE manager =
        ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    std::vector<char> buffer(sizeof(WineUnixDrive) + unix_path.size() + 1, 0);
    auto* request = reinterpret_cast<WineUnixDrive*>(buffer.data());
    request->size = static_cast<ULONG>(buffer.size());
    request->letter = static_cast<WCHAR>(letter - L'A' + L'a');
    if (!unix_path.empty()) {
        request->type = DRIVE_FIXED;
        request->mount_point_offset = sizeof(WineUnixDrive);
        std::copy(unix_path.begin(), unix_path.end(), buffer.begin() + sizeof(WineUnixDrive));
    } else {
        // This type is what removes a letter; any other keeps it listed as
        // a drive without a folder.
        request->type = DRIVE_NO_ROOT_DIR;
    }
    DWORD returned = 0;
    const BOOL ok =
        ::DeviceIoControl(manager, kWineDefineUnixDrive, buffer.data(),
                          static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr);
    ::CloseHandle(manager);
    return ok != FALSE;
}

bool Shows(wchar_t letter, const std::wstring& folder) {
    const std::wstring probe = std::wstring{letter, L':', L'\\'};
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    const HANDLE root = ::CreateFileW(probe.c_str(), FILE_READ_ATTRIBUTES, 7, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const HANDLE target = ::CreateFileW(Extended(folder).c_str(), FILE_READ_ATTRIBUTES, 7, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool same = root != INVALID_HANDLE_VALUE && target != INVALID_HANDLE_VALUE &&
                      ::GetFileInformationByHandle(root, &a) &&
                      ::GetFileInformationByHandle(target, &b) &&
                      a.nFileIndexLow == b.nFileIndexLow && a.nFileIndexHigh == b.nFileIndexHigh;
    if (root != INVALID_HANDLE_VALUE) ::CloseHandle(root);
    if (target != INVALID_HANDLE_VALUE) ::CloseHandle(target);
    return same;
}

}  // namespace

MappedDrive::MappedDrive(const std::wstring& folder) : target_(folder) {
    const DWORD used = ::GetLogicalDrives();
    for (wchar_t letter = L'Y'; letter >= L'M'; --letter) {
        if (used & (1u << (letter - L'A'))) continue;
        if (Define(letter, folder)) {
            letter_ = letter;
            return;
        }
    }
}

MappedDrive::~MappedDrive() { Remove(); }

bool MappedDrive::Define(wchar_t letter, const std::wstring& folder) {
    const std::wstring device{letter, L':'};
    if (::DefineDosDeviceW(0, device.c_str(), folder.c_str())) {
        if (Shows(letter, folder)) return true;
        ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device.c_str(),
                           folder.c_str());
    }
    if (WineUnixNameFn unix_name = WineUnixName()) {
        char* path = unix_name(folder.c_str());
        if (!path) return false;
        const std::string unix_path = path;
        ::HeapFree(::GetProcessHeap(), 0, path);
        if (WineMountManager(letter, unix_path) && Shows(letter, folder)) {
            through_mount_manager_ = true;
            return true;
        }
        WineMountManager(letter, std::string());
    }
    return false;
}

void MappedDrive::Remove() {
    if (!letter_) return;
    if (through_mount_manager_) {
        WineMountManager(letter_, std::string());
    } else {
        const std::wstring device{letter_, L':'};
        ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device.c_str(),
                           target_.c_str());
    }
    letter_ = 0;
}

// --- The engine ---------------------------------------------------------

EngineDll::EngineDll() {
    wchar_t exe[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring path(exe, length);
    path = path.substr(0, path.rfind(L'\\') + 1) + L"AnalysisEngine.dll";
    module_ = ::LoadLibraryW(path.c_str());
}

EngineDll::~EngineDll() {
    if (module_) ::FreeLibrary(module_);
}

HRESULT EngineDll::Create(orvane::IAnalysisEngine** engine) const {
    *engine = nullptr;
    if (!module_) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto get_class_object = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "DllGetClassObject")));
    if (!get_class_object) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    IClassFactory* factory = nullptr;
    HRESULT hr = get_class_object(orvane::CLSID_AnalysisEngine, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, orvane::IID_IAnalysisEngine,
                                 reinterpret_cast<void**>(engine));
    factory->Release();
    return hr;
}

HRESULT EngineDll::CanUnloadNow() const {
    using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
    const auto can_unload = reinterpret_cast<CanUnloadNowFn>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "DllCanUnloadNow")));
    return can_unload ? can_unload() : E_FAIL;
}

namespace {

std::wstring TakeBstr(BSTR text) {
    std::wstring result = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return result;
}

}  // namespace

std::wstring StatusText(orvane::IAnalysisEngine& engine) {
    BSTR text = nullptr;
    if (FAILED(engine.GetStatusText(&text))) return L"<failed>";
    return TakeBstr(text);
}

std::wstring BytesScanned(orvane::IAnalysisEngine& engine) {
    BSTR text = nullptr;
    if (FAILED(engine.GetBytesScanned(&text))) return L"<failed>";
    return TakeBstr(text);
}

HRESULT Analyze(orvane::IAnalysisEngine& engine, const std::wstring& drive) {
    BSTR text = ::SysAllocStringLen(drive.data(), static_cast<UINT>(drive.size()));
    const HRESULT hr = engine.AnalyzeDrive(text);
    ::SysFreeString(text);
    return hr;
}

// --- A window with a timer ----------------------------------------------

TickWindow::TickWindow(UINT interval_ms, std::function<void(TickWindow&)> on_tick)
    : on_tick_(std::move(on_tick)) {
    static const ATOM atom = [] {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = &TickWindow::Proc;
        window_class.hInstance = ::GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"OrvaneEngineTestTicks";
        return ::RegisterClassW(&window_class);
    }();
    hwnd_ = ::CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              ::GetModuleHandleW(nullptr), this);
    if (hwnd_) ::SetTimer(hwnd_, 1, interval_ms, nullptr);
}

TickWindow::~TickWindow() {
    if (hwnd_) ::DestroyWindow(hwnd_);
}

void TickWindow::Stop() {
    if (hwnd_) ::KillTimer(hwnd_, 1);
}

LRESULT CALLBACK TickWindow::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TickWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_TIMER && self) {
        ++self->ticks_;
        if (self->on_tick_) self->on_tick_(*self);
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wparam, lparam);
}

void DrainMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT) ::DispatchMessageW(&msg);
    }
}

// --- Status text --------------------------------------------------------

StatusFields SplitStatus(const std::wstring& text) {
    StatusFields fields;
    const std::size_t bar = text.find(L'|');
    if (bar == std::wstring::npos || bar == 0) return fields;
    const std::wstring field0 = text.substr(0, bar);
    std::wstring field1 = text.substr(bar + 1);
    const std::size_t next = field1.find(L'|');
    if (next != std::wstring::npos) field1.resize(next);
    constexpr std::wstring_view kWord = L" scanned";
    if (field1.size() <= kWord.size() || field1.substr(field1.size() - kWord.size()) != kWord) {
        return fields;
    }
    fields.folder = field0.substr(0, field0.size() - 1);
    fields.dropped = field0.back();
    fields.count = field1.substr(0, field1.size() - kWord.size());
    fields.well_formed = true;
    return fields;
}

long long ParseGroupedCount(const std::wstring& count) {
    wchar_t separator[8] = L",";
    ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8);
    const std::wstring sep = separator;
    if (count.empty() || count[0] < L'0' || count[0] > L'9') return -1;
    long long value = 0;
    for (std::size_t i = 0; i < count.size();) {
        if (count[i] >= L'0' && count[i] <= L'9') {
            value = value * 10 + (count[i] - L'0');
            ++i;
        } else if (!sep.empty() && count.compare(i, sep.size(), sep) == 0) {
            i += sep.size();
        } else {
            return -1;
        }
    }
    return value;
}

// --- JSON ---------------------------------------------------------------

namespace {

class JsonParser {
  public:
    explicit JsonParser(const std::string& text) : s_(text) {}

    bool ParseDocument(Json& out) {
        if (!Value(out, 0)) return false;
        Space();
        return i_ == s_.size();
    }

  private:
    void Space() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
            ++i_;
    }
    bool Literal(const char* word) {
        const std::string w = word;
        if (s_.compare(i_, w.size(), w) != 0) return false;
        i_ += w.size();
        return true;
    }
    bool Value(Json& out, int depth) {
        if (depth > 64) return false;
        Space();
        if (i_ >= s_.size()) return false;
        const char c = s_[i_];
        if (c == '{') return Object(out, depth);
        if (c == '[') return Array(out, depth);
        if (c == '"') {
            out.kind = Json::Kind::kString;
            return String(out.text);
        }
        if (c == 't' || c == 'f') {
            out.kind = Json::Kind::kBool;
            out.boolean = c == 't';
            return Literal(c == 't' ? "true" : "false");
        }
        if (c == 'n') return Literal("null");
        return Number(out);
    }
    bool Object(Json& out, int depth) {
        out.kind = Json::Kind::kObject;
        ++i_;
        Space();
        if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
        for (;;) {
            Space();
            std::string key;
            if (i_ >= s_.size() || s_[i_] != '"' || !String(key)) return false;
            Space();
            if (i_ >= s_.size() || s_[i_++] != ':') return false;
            Json value;
            if (!Value(value, depth + 1)) return false;
            if (out.members.count(key)) return false;  // duplicate keys: not a sound report
            out.members.emplace(std::move(key), std::move(value));
            Space();
            if (i_ < s_.size() && s_[i_] == ',') {
                ++i_;
                continue;
            }
            return i_ < s_.size() && s_[i_++] == '}';
        }
    }
    bool Array(Json& out, int depth) {
        out.kind = Json::Kind::kArray;
        ++i_;
        Space();
        if (i_ < s_.size() && s_[i_] == ']') return ++i_, true;
        for (;;) {
            Json value;
            if (!Value(value, depth + 1)) return false;
            out.items.push_back(std::move(value));
            Space();
            if (i_ < s_.size() && s_[i_] == ',') {
                ++i_;
                continue;
            }
            return i_ < s_.size() && s_[i_++] == ']';
        }
    }
    bool String(std::string& out) {
        ++i_;  // opening quote
        while (i_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out.push_back(static_cast<char>(c));
                continue;
            }
            if (i_ >= s_.size()) return false;
            const char e = s_[i_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    if (i_ + 4 > s_.size()) return false;
                    for (int k = 0; k < 4; ++k) {
                        if (!std::isxdigit(static_cast<unsigned char>(s_[i_ + k]))) return false;
                    }
                    out += "\\u" + s_.substr(i_, 4);  // kept escaped: the tests compare ASCII
                    i_ += 4;
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }
    bool Number(Json& out) {
        const std::size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-') ++i_;
        const std::size_t digits = i_;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
        if (i_ == digits) return false;
        if (s_[digits] == '0' && i_ - digits > 1) return false;
        if (i_ < s_.size() && s_[i_] == '.') {
            ++i_;
            const std::size_t fraction = i_;
            while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
            if (i_ == fraction) return false;
        }
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
            const std::size_t exponent = i_;
            while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
            if (i_ == exponent) return false;
        }
        out.kind = Json::Kind::kNumber;
        out.number = s_.substr(start, i_ - start);
        return true;
    }

    const std::string& s_;
    std::size_t i_ = 0;
};

}  // namespace

const Json* Json::Find(const std::string& key) const {
    const auto it = members.find(key);
    return it == members.end() ? nullptr : &it->second;
}

unsigned long long Json::AsUnsigned() const {
    if (kind != Kind::kNumber || number.empty() ||
        number.find_first_not_of("0123456789") != std::string::npos) {
        return ~0ull;
    }
    return std::stoull(number);
}

bool ParseJson(const std::string& text, Json& out) {
    JsonParser parser(text);
    return parser.ParseDocument(out);
}

// --- Reports ------------------------------------------------------------

std::wstring ReportsFolder() {
    wchar_t* local = nullptr;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) return {};
    std::wstring folder = std::wstring(local) + L"\\Mevrak\\Orvane Analyzer\\Reports";
    ::CoTaskMemFree(local);
    return folder;
}

std::vector<std::wstring> ReportFiles(wchar_t drive_letter) {
    std::vector<std::wstring> files;
    const std::wstring folder = ReportsFolder();
    WIN32_FIND_DATAW data;
    const std::wstring pattern = folder + L"\\" + std::wstring{drive_letter} + L"-*";
    const HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        files.push_back(folder + L"\\" + data.cFileName);
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadFileBytes(const std::wstring& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got != 0) {
        bytes.append(buffer, got);
    }
    ::CloseHandle(file);
    return bytes;
}

}  // namespace engine_test
