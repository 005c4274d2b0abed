#include "report_store.h"

#include <shlobj.h>

#include <cstdio>
#include <cwchar>

#include "orvane/win32_handles.h"

namespace orvane::engine::com {

namespace {

HRESULT CreateFolderIfMissing(const std::wstring& path) {
    if (::CreateDirectoryW(path.c_str(), nullptr)) return S_OK;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return S_OK;
        }
    }
    return HRESULT_FROM_WIN32(error);
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

HRESULT EnsureReportsFolder(std::wstring& folder) {
    unique_cotaskmem_string local;
    const HRESULT hr =
        ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, local.put());
    if (FAILED(hr)) return hr;
    std::wstring path = local.get();
    for (const wchar_t* part : {L"Mevrak", L"Orvane Analyzer", L"Reports"}) {
        if (path.empty() || path.back() != L'\\') path += L'\\';
        path += part;
        const HRESULT created = CreateFolderIfMissing(path);
        if (FAILED(created)) return created;
    }
    folder = std::move(path);
    return S_OK;
}

std::wstring ReportFileName(wchar_t drive_letter, const SYSTEMTIME& t) {
    wchar_t name[64];
    if (drive_letter >= L'a' && drive_letter <= L'z') {
        drive_letter = static_cast<wchar_t>(drive_letter - L'a' + L'A');
    }
    std::swprintf(name, 64, L"%lc-%04u%02u%02u-%02u%02u%02u.json",
                  static_cast<wint_t>(drive_letter), t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return name;
}

std::wstring UnusedReportPath(const std::wstring& folder, const std::wstring& file_name) {
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    std::wstring candidate = base + file_name;
    const std::size_t dot = file_name.rfind(L'.');
    const std::wstring stem = file_name.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos ? L"" : file_name.substr(dot);
    for (int n = 2; Exists(candidate) && n < 10000; ++n) {
        candidate = base + stem + L"-" + std::to_wstring(n) + extension;
    }
    return candidate;
}

}  // namespace orvane::engine::com
