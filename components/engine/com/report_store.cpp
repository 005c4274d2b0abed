#include "report_store.h"

#include <shlobj.h>

#include <cstdio>
#include <cwchar>

#include "support/unique_any.h"

namespace orvane::engine::com {

namespace {

HRESULT LastErrorResult() {
    const DWORD error = ::GetLastError();
    return HRESULT_FROM_WIN32(error != 0 ? error : ERROR_GEN_FAILURE);
}

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

struct CoTaskString {
    wchar_t* text = nullptr;
    ~CoTaskString() { ::CoTaskMemFree(text); }
};

HRESULT WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return LastErrorResult();
        if (written == 0) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
        bytes.remove_prefix(written);
    }
    return S_OK;
}

}  // namespace

HRESULT EnsureReportsFolder(std::wstring& folder) {
    CoTaskString local;
    const HRESULT hr =
        ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local.text);
    if (FAILED(hr)) return hr;
    std::wstring path = local.text;
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

HRESULT WriteFileAtomically(const std::wstring& path, std::string_view bytes,
                            const std::atomic<bool>* abandon) {
    const std::wstring temporary = path + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(::GetCurrentThreadId()) + L".tmp";
    HRESULT hr = S_OK;
    {
        unique_file file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return LastErrorResult();
        hr = WriteAll(file.get(), bytes);
        // The rename must not land before the data: flush first.
        if (SUCCEEDED(hr) && !::FlushFileBuffers(file.get())) hr = LastErrorResult();
    }
    const bool abandoned = abandon && abandon->load();
    if (SUCCEEDED(hr) && !abandoned &&
        !::MoveFileExW(temporary.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        hr = LastErrorResult();
    }
    if (FAILED(hr) || abandoned) ::DeleteFileW(temporary.c_str());
    return hr;
}

}  // namespace orvane::engine::com
