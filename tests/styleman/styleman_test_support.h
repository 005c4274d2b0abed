// Helpers shared by the style manager tests.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>
#include <string>

#include "orvane/win32_handles.h"
#include "style_context.h"

namespace orvane::styleman::test {

// True when a button created now on this thread is a version 6 one:
// BCM_GETIDEALSIZE exists only there. (Under Wine the version number that
// comctl32 reports is the same for both, so only behaviour tells.)
inline bool NewButtonIsThemed() {
    const HWND button =
        ::CreateWindowExW(0, L"BUTTON", L"Next >", WS_POPUP | BS_PUSHBUTTON, 0, 0, 80, 24, nullptr,
                          nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!button) throw std::runtime_error("CreateWindowExW(BUTTON) failed: no display?");
    SIZE ideal{};
    const LRESULT answered =
        ::SendMessageW(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
    ::DestroyWindow(button);
    return answered != FALSE;
}

inline std::wstring ProgramPath() {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

inline std::wstring ProgramDirectory() {
    const std::wstring path = ProgramPath();
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

// An activation context from a manifest resource of the test program.
inline unique_actctx ProgramManifestContext(UINT id) {
    const std::wstring path = ProgramPath();
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.hModule = ::GetModuleHandleW(nullptr);
    request.lpResourceName = MAKEINTRESOURCEW(id);
    return unique_actctx(::CreateActCtxW(&request));
}

// Keeps a context active for one scope.
class ScopedActivation {
public:
    explicit ScopedActivation(HANDLE context) {
        if (!::ActivateActCtx(context, &cookie_)) throw std::runtime_error("ActivateActCtx failed");
    }
    ScopedActivation(const ScopedActivation&) = delete;
    ScopedActivation& operator=(const ScopedActivation&) = delete;
    ~ScopedActivation() { ::DeactivateActCtx(0, cookie_); }

private:
    ULONG_PTR cookie_ = 0;
};

}  // namespace orvane::styleman::test
