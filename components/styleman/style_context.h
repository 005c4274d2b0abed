// The activation context behind the style manager: built from a manifest
// resource, pushed on the calling thread's activation stack and popped again.
// Every operation reports a status (0, or the Win32 error that stopped it)
// and never throws, so that calls in any order are harmless.
#pragma once

#include <windows.h>

#include "orvane/win32_handles.h"

namespace orvane::styleman {

class StyleContext {
public:
    StyleContext() = default;
    StyleContext(const StyleContext&) = delete;
    StyleContext& operator=(const StyleContext&) = delete;
    ~StyleContext() { Destroy(); }

    // Builds the context from the RT_MANIFEST resource `manifestId` of
    // `module`. Building it again while it exists keeps the first one.
    DWORD Create(HMODULE module, UINT manifestId) noexcept;
    // Makes the context the current one of the calling thread. Activating
    // it again on the same thread changes nothing.
    DWORD Activate() noexcept;
    // Undoes Activate. Only the activating thread can do it, and only while
    // the context is the innermost one there: popping it from under another
    // activation would be an early deactivation, which the system raises as
    // an exception.
    DWORD Deactivate() noexcept;
    // Deactivates where possible and lets the context go.
    void Destroy() noexcept;

    bool IsCreated() const noexcept { return static_cast<bool>(context_); }
    bool IsActive() const noexcept { return activeThread_ != 0; }

private:
    bool IsInnermostOnThisThread() const noexcept;
    void ForgetActivation() noexcept;

    unique_actctx context_;
    ULONG_PTR cookie_ = 0;
    DWORD activeThread_ = 0;  // thread ids are never 0
};

}  // namespace orvane::styleman
