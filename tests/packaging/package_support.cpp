#include "package_support.h"

#include <msi.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <memory>

#include "orvane/win32_handles.h"
#include "wizard/control_ids.h"

namespace orvane::packaging {

using blackbox::milliseconds;

std::optional<DWORD> RunAndWait(const std::wstring& commandLine, milliseconds timeout) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        return std::nullopt;
    }
    const unique_handle process(info.hProcess), thread(info.hThread);
    if (::WaitForSingleObject(process.get(), static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 0xDEAD);
        return std::nullopt;
    }
    DWORD code = 0;
    if (!::GetExitCodeProcess(process.get(), &code)) return std::nullopt;
    return code;
}

std::optional<DWORD> InstallQuietly(const std::wstring& package) {
    return RunAndWait(L"msiexec.exe /i \"" + package + L"\" /qn");
}

std::optional<DWORD> UninstallQuietly(const std::wstring& productCode) {
    return RunAndWait(L"msiexec.exe /x " + productCode + L" /qn");
}

std::vector<std::wstring> InstalledProducts(const std::wstring& upgradeCode) {
    std::vector<std::wstring> products;
    wchar_t product[39] = {};
    for (DWORD i = 0;
         ::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, product) == ERROR_SUCCESS; ++i) {
        products.emplace_back(product);
    }
    return products;
}

std::wstring ProductInfo(const std::wstring& productCode, const wchar_t* property) {
    wchar_t value[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (::MsiGetProductInfoW(productCode.c_str(), property, value, &size) != ERROR_SUCCESS)
        return {};
    return value;
}

bool RemoveAllInstallations(const std::wstring& upgradeCode) {
    for (const std::wstring& product : InstalledProducts(upgradeCode)) UninstallQuietly(product);
    return InstalledProducts(upgradeCode).empty();
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    wchar_t* path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) folder = path;
    ::CoTaskMemFree(path);
    return folder;
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
    const unique_file file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                       nullptr) &&
           written == text.size();
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const unique_find search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search) return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(search.get(), &found));
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<Shortcut> ReadShortcut(const std::wstring& linkFile) {
    const scoped_com_apartment com;
    com_ptr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.put_void())))
        return std::nullopt;
    com_ptr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return std::nullopt;
    if (FAILED(file->Load(linkFile.c_str(), STGM_READ))) return std::nullopt;
    wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {};
    // The raw path: resolving it would search for a target that moved.
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) return std::nullopt;
    link->GetWorkingDirectory(folder, MAX_PATH);
    return Shortcut{target, folder};
}

HWND WaitForReadyWizard(const blackbox::Process& process) {
    HWND wizard = nullptr;
    const bool ready = blackbox::WaitUntil([&] {
        wizard = blackbox::FindWizard(process.id());
        if (!wizard) return false;
        const HWND list = blackbox::FindControl(wizard, ids::lvwDrives);
        return list && blackbox::RemoteListView(list, process.handle()).Count() > 0 &&
               blackbox::Enabled(blackbox::FindControl(wizard, ids::cmdNext));
    });
    if (!ready) return nullptr;
    // The engine is created last in start-up: once the wizard answers a sent
    // message, start-up is over.
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(wizard, WM_NULL, 0, 0, SMTO_NORMAL,
                               static_cast<UINT>(blackbox::kPatience.count()), &result))
        return nullptr;
    return wizard;
}

bool CheckOnlyDrive(HWND wizard, const blackbox::Process& process, wchar_t letter) {
    const blackbox::RemoteListView list(blackbox::FindControl(wizard, ids::lvwDrives),
                                        process.handle());
    bool found = false;
    for (const blackbox::DriveEntry& entry : blackbox::ReadDriveList(list)) {
        const bool wanted = entry.letter == letter;
        found = found || wanted;
        if (entry.checked != wanted && !list.SetChecked(entry.index, wanted)) return false;
    }
    return found;
}

}  // namespace orvane::packaging
