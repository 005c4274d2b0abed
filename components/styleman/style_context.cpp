#include "style_context.h"

#include <new>
#include <string>

namespace orvane::styleman {
namespace {

// GetLastError, never 0: a failed step must not read as success.
DWORD LastErrorOr(DWORD fallback) noexcept {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

// The module's full path: the context's assembly directory, where private
// assemblies beside the module are looked for.
DWORD GetModulePath(HMODULE module, std::wstring& path) noexcept {
    try {
        path.assign(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length =
                ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
            if (length == 0) return LastErrorOr(ERROR_MOD_NOT_FOUND);
            if (length < path.size()) {
                path.resize(length);
                return ERROR_SUCCESS;
            }
            path.resize(path.size() * 2);
        }
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
}

}  // namespace

DWORD StyleContext::Create(HMODULE module, UINT manifestId) noexcept {
    if (context_) return ERROR_SUCCESS;
    if (!module) return ERROR_MOD_NOT_FOUND;

    std::wstring path;
    if (const DWORD error = GetModulePath(module, path)) return error;

    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.hModule = module;
    request.lpResourceName = MAKEINTRESOURCEW(manifestId);
    unique_actctx created(::CreateActCtxW(&request));
    // Without the version 6 common controls on the machine this fails; the
    // host then simply keeps the classic controls.
    if (!created) return LastErrorOr(ERROR_SXS_CANT_GEN_ACTCTX);
    context_ = std::move(created);
    return ERROR_SUCCESS;
}

DWORD StyleContext::Activate() noexcept {
    if (!context_) return ERROR_INVALID_HANDLE;
    if (IsActive()) {
        return activeThread_ == ::GetCurrentThreadId() ? ERROR_SUCCESS : ERROR_INVALID_THREAD_ID;
    }
    ULONG_PTR cookie = 0;
    if (!::ActivateActCtx(context_.get(), &cookie)) return LastErrorOr(ERROR_INVALID_HANDLE);
    cookie_ = cookie;
    activeThread_ = ::GetCurrentThreadId();
    return ERROR_SUCCESS;
}

DWORD StyleContext::Deactivate() noexcept {
    if (!IsActive()) return ERROR_SUCCESS;
    if (activeThread_ != ::GetCurrentThreadId()) return ERROR_INVALID_THREAD_ID;
    if (!IsInnermostOnThisThread()) return ERROR_SXS_EARLY_DEACTIVATION;
    if (!::DeactivateActCtx(0, cookie_)) return LastErrorOr(ERROR_SXS_INVALID_DEACTIVATION);
    ForgetActivation();
    return ERROR_SUCCESS;
}

void StyleContext::Destroy() noexcept {
    // If the context cannot be popped here, the activation frame keeps its
    // own reference, so releasing ours cannot leave that thread dangling.
    if (IsActive() && Deactivate() != ERROR_SUCCESS) ForgetActivation();
    context_.reset();
}

bool StyleContext::IsInnermostOnThisThread() const noexcept {
    HANDLE handle = nullptr;
    if (!::GetCurrentActCtx(&handle)) return false;
    const unique_actctx current(handle);
    return current.get() == context_.get();
}

void StyleContext::ForgetActivation() noexcept {
    cookie_ = 0;
    activeThread_ = 0;
}

}  // namespace orvane::styleman
