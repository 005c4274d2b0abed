#include "test_support.h"

#include <shlobj.h>
#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

#include "orvane/win32_handles.h"

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

std::wstring PreparedBigTree() { return PreparedTree(L"ORVANE_ENGINE_BIG_TREE"); }

std::wstring PreparedTree(const wchar_t* variable) {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(variable, buffer, MAX_PATH);
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
    const orvane::unique_file file(::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    Check(static_cast<bool>(file), "CreateFileW");
    const std::string data(bytes, 'o');
    DWORD written = 0;
    Check(bytes == 0 ||
              (::WriteFile(file.get(), data.data(), static_cast<DWORD>(bytes), &written, nullptr) &&
               written == bytes),
          "WriteFile");
}

void ForEachEntry(const std::wstring& folder,
                  const std::function<void(const WIN32_FIND_DATAW&)>& visit) {
    WIN32_FIND_DATAW data;
    const orvane::unique_find find(::FindFirstFileW(Extended(folder + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring_view name = data.cFileName;
        if (name != L"." && name != L"..") visit(data);
    } while (::FindNextFileW(find.get(), &data));
}

bool IsFolderToEnter(const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

void RemoveTree(const std::wstring& path) {
    ForEachEntry(path, [&](const WIN32_FIND_DATAW& data) {
        const std::wstring child = path + L"\\" + data.cFileName;
        if (IsFolderToEnter(data)) {
            RemoveTree(child);
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ::RemoveDirectoryW(Extended(child).c_str());
        } else {
            ::SetFileAttributesW(Extended(child).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(Extended(child).c_str());
        }
    });
    ::RemoveDirectoryW(Extended(path).c_str());
}

Census TakeCensus(const std::wstring& folder) {
    Census census;
    census.folders = 1;
    std::vector<std::wstring> pending{folder};
    while (!pending.empty()) {
        const std::wstring current = std::move(pending.back());
        pending.pop_back();
        ForEachEntry(current, [&](const WIN32_FIND_DATAW& data) {
            if (IsFolderToEnter(data)) {
                ++census.folders;
                pending.push_back(current + L"\\" + data.cFileName);
            } else {
                ++census.files;
                census.apparent_bytes +=
                    (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            }
        });
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

bool WineMountManager(wchar_t letter, const std::string& unix_path,
                      const std::string& unix_device = {}) {
    const orvane::unique_file manager(
        ::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!manager) return false;
    std::vector<char> buffer(sizeof(WineUnixDrive) + unix_path.size() + unix_device.size() + 2, 0);
    auto* request = reinterpret_cast<WineUnixDrive*>(buffer.data());
    request->size = static_cast<ULONG>(buffer.size());
    request->letter = static_cast<WCHAR>(letter - L'A' + L'a');
    if (!unix_path.empty()) {
        request->type = DRIVE_FIXED;
        request->mount_point_offset = sizeof(WineUnixDrive);
        std::copy(unix_path.begin(), unix_path.end(), buffer.begin() + sizeof(WineUnixDrive));
        if (!unix_device.empty()) {
            request->device_offset =
                static_cast<USHORT>(sizeof(WineUnixDrive) + unix_path.size() + 1);
            std::copy(unix_device.begin(), unix_device.end(),
                      buffer.begin() + request->device_offset);
        }
    } else {
        // This type is what removes a letter; any other keeps it listed as
        // a drive without a folder.
        request->type = DRIVE_NO_ROOT_DIR;
    }
    DWORD returned = 0;
    return ::DeviceIoControl(manager.get(), kWineDefineUnixDrive, buffer.data(),
                             static_cast<DWORD>(buffer.size()), nullptr, 0, &returned,
                             nullptr) != FALSE;
}

std::uint64_t IdentityOf(const std::wstring& path) {
    const orvane::unique_file handle(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, 7, nullptr,
                                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                                   nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !::GetFileInformationByHandle(handle.get(), &info)) return 0;
    return (static_cast<std::uint64_t>(info.dwVolumeSerialNumber) << 40) ^
           (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) ^ info.nFileIndexLow;
}

bool Shows(wchar_t letter, const std::wstring& folder) {
    const std::uint64_t root = IdentityOf(std::wstring{letter, L':', L'\\'});
    return root != 0 && root == IdentityOf(Extended(folder));
}

}  // namespace

MappedDrive::MappedDrive(const std::wstring& folder, const std::wstring& device) : target_(folder) {
    const DWORD used = ::GetLogicalDrives();
    for (wchar_t letter = L'Y'; letter >= L'M'; --letter) {
        if (used & (1u << (letter - L'A'))) continue;
        if (Define(letter, folder, device)) {
            letter_ = letter;
            return;
        }
    }
}

MappedDrive::~MappedDrive() { Remove(); }

bool MappedDrive::Define(wchar_t letter, const std::wstring& folder, const std::wstring& device) {
    const std::wstring name{letter, L':'};
    if (device.empty() && ::DefineDosDeviceW(0, name.c_str(), folder.c_str())) {
        if (Shows(letter, folder)) return true;
        ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, name.c_str(),
                           folder.c_str());
    }
    if (WineUnixNameFn unix_name = WineUnixName()) {
        auto unix_of = [&](const std::wstring& path) {
            std::string out;
            if (char* text = unix_name(path.c_str())) {
                out = text;
                ::HeapFree(::GetProcessHeap(), 0, text);
            }
            return out;
        };
        const std::string unix_path = unix_of(folder);
        const std::string unix_device = device.empty() ? std::string() : unix_of(device);
        if (unix_path.empty() || (!device.empty() && unix_device.empty())) return false;
        if (WineMountManager(letter, unix_path, unix_device) && Shows(letter, folder)) {
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
    module_.reset(::LoadLibraryW(path.c_str()));
}

HRESULT EngineDll::Create(orvane::IAnalysisEngine** engine) const {
    *engine = nullptr;
    if (!module_) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto get_class_object = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllGetClassObject")));
    if (!get_class_object) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    orvane::com_ptr<IClassFactory> factory;
    const HRESULT hr =
        get_class_object(orvane::CLSID_AnalysisEngine, IID_IClassFactory, factory.put_void());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, orvane::IID_IAnalysisEngine,
                                   reinterpret_cast<void**>(engine));
}

HRESULT EngineDll::CanUnloadNow() const {
    using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
    const auto can_unload = reinterpret_cast<CanUnloadNowFn>(
        reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllCanUnloadNow")));
    return can_unload ? can_unload() : E_FAIL;
}

namespace {

std::wstring TextOf(const orvane::unique_bstr& text) {
    return text.get() ? std::wstring(text.get(), text.length()) : std::wstring();
}

}  // namespace

std::wstring StatusText(orvane::IAnalysisEngine& engine) {
    orvane::unique_bstr text;
    if (FAILED(engine.GetStatusText(text.put()))) return L"<failed>";
    return TextOf(text);
}

std::wstring BytesScanned(orvane::IAnalysisEngine& engine) {
    orvane::unique_bstr text;
    if (FAILED(engine.GetBytesScanned(text.put()))) return L"<failed>";
    return TextOf(text);
}

HRESULT Analyze(orvane::IAnalysisEngine& engine, const std::wstring& drive) {
    const orvane::unique_bstr text(drive.data(), static_cast<UINT>(drive.size()));
    return engine.AnalyzeDrive(text.get());
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

// Strict recursive descent over RFC 8259. Strings are only compared with
// ASCII by the tests: "\u" escapes are kept as written.
class JsonParser {
public:
    explicit JsonParser(const std::string& text) : s_(text) {}
    bool Document(Json& out) { return Value(out, 0) && (Space(), i_ == s_.size()); }

private:
    void Space() {
        while (i_ < s_.size() && s_[i_] && std::strchr(" \t\r\n", s_[i_])) ++i_;
    }
    bool Eat(char c) { return Space(), i_ < s_.size() && s_[i_] == c ? (++i_, true) : false; }
    bool Word(const char* word) {
        const std::size_t n = std::strlen(word);
        return s_.compare(i_, n, word) == 0 ? (i_ += n, true) : false;
    }
    bool Digits() {
        const std::size_t start = i_;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
        return i_ > start;
    }
    bool Value(Json& out, int depth) {
        Space();
        if (depth > 64 || i_ >= s_.size()) return false;
        if (Eat('{')) return Members(out, depth);
        if (Eat('[')) return Items(out, depth);
        if (s_[i_] == '"') return out.kind = Json::Kind::kString, String(out.text);
        if (Word("true") || Word("false")) return out.kind = Json::Kind::kBool, true;
        if (Word("null")) return true;
        return Number(out);
    }
    bool Members(Json& out, int depth) {
        out.kind = Json::Kind::kObject;
        if (Eat('}')) return true;
        do {
            std::string key;
            Json value;
            if (!(Space(), i_ < s_.size() && s_[i_] == '"' && String(key)) || !Eat(':') ||
                !Value(value, depth + 1) || !out.members.emplace(key, std::move(value)).second) {
                return false;  // duplicate keys make no sound report either
            }
        } while (Eat(','));
        return Eat('}');
    }
    bool Items(Json& out, int depth) {
        out.kind = Json::Kind::kArray;
        if (Eat(']')) return true;
        do {
            out.items.emplace_back();
            if (!Value(out.items.back(), depth + 1)) return false;
        } while (Eat(','));
        return Eat(']');
    }
    bool String(std::string& out) {
        for (++i_; i_ < s_.size();) {
            const char c = s_[i_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
            } else if (i_ < s_.size() && s_[i_] && std::strchr("\"\\/bfnrt", s_[i_])) {
                out += s_[i_] == 'n' ? '\n' : s_[i_] == 't' ? '\t' : s_[i_];
                ++i_;
            } else if (i_ + 5 <= s_.size() && s_[i_] == 'u' &&
                       std::all_of(s_.begin() + i_ + 1, s_.begin() + i_ + 5, [](char h) {
                           return std::isxdigit(static_cast<unsigned char>(h));
                       })) {
                out += '\\';
                out.append(s_, i_, 5);
                i_ += 5;
            } else {
                return false;
            }
        }
        return false;
    }
    bool Number(Json& out) {
        const std::size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-') ++i_;
        const std::size_t first = i_;
        if (!Digits() || (s_[first] == '0' && i_ - first > 1)) return false;
        if (i_ < s_.size() && s_[i_] == '.' && (++i_, !Digits())) return false;
        if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
            ++i_;
            if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
            if (!Digits()) return false;
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
    const bool digits = kind == Kind::kNumber && !number.empty() &&
                        number.find_first_not_of("0123456789") == std::string::npos;
    return digits ? std::stoull(number) : ~0ull;
}

bool ParseJson(const std::string& text, Json& out) { return JsonParser(text).Document(out); }

// --- Reports ------------------------------------------------------------

std::wstring ReportsFolder() {
    orvane::unique_cotaskmem_string local;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, local.put()))) return {};
    return std::wstring(local.get()) + L"\\Mevrak\\Orvane Analyzer\\Reports";
}

std::vector<std::wstring> ReportFiles(wchar_t drive_letter) {
    std::vector<std::wstring> files;
    const std::wstring folder = ReportsFolder();
    const std::wstring prefix{drive_letter, L'-'};
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& data) {
        const std::wstring_view name = data.cFileName;
        if (name.substr(0, 2) == prefix && name.size() > 5 &&
            name.substr(name.size() - 5) == L".json") {
            files.push_back(folder + L"\\" + data.cFileName);
        }
    });
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadFileBytes(const std::wstring& path) {
    const orvane::unique_file file(::CreateFileW(
        Extended(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got != 0) {
        bytes.append(buffer, got);
    }
    return bytes;
}

void RemoveReports(wchar_t drive_letter) {
    for (const std::wstring& json : ReportFiles(drive_letter)) {
        ::DeleteFileW(json.c_str());
        ::DeleteFileW((json.substr(0, json.size() - 5) + L".html").c_str());
    }
}

}  // namespace engine_test
