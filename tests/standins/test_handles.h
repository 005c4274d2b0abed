// Handle owners for the test-side code (stand-ins and the automation
// library). The program's own owners live in src/support/unique_any.h; the
// tests keep theirs apart so that they build whatever state the program's
// support code is in.
#pragma once

#include <windows.h>

#include <utility>

namespace orvane::tests {

template <class Handle, class Traits>
class owned {
public:
    owned() noexcept = default;
    explicit owned(Handle h) noexcept : handle_(h) {}
    owned(const owned&) = delete;
    owned& operator=(const owned&) = delete;
    owned(owned&& other) noexcept : handle_(other.release()) {}
    owned& operator=(owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~owned() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Traits::invalid(); }
    Handle release() noexcept { return std::exchange(handle_, Traits::invalid()); }
    void reset(Handle h = Traits::invalid()) noexcept {
        const Handle old = std::exchange(handle_, h);
        if (old != Traits::invalid()) Traits::close(old);
    }

private:
    Handle handle_ = Traits::invalid();
};

struct KernelHandleTraits {
    static HANDLE invalid() noexcept { return nullptr; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct KeyTraits {
    static HKEY invalid() noexcept { return nullptr; }
    static void close(HKEY h) noexcept { ::RegCloseKey(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ invalid() noexcept { return nullptr; }
    static void close(HGDIOBJ h) noexcept { ::DeleteObject(h); }
};
struct MemoryDcTraits {
    static HDC invalid() noexcept { return nullptr; }
    static void close(HDC h) noexcept { ::DeleteDC(h); }
};

using owned_handle = owned<HANDLE, KernelHandleTraits>;
using owned_file = owned<HANDLE, FileHandleTraits>;
using owned_key = owned<HKEY, KeyTraits>;
using owned_gdi = owned<HGDIOBJ, GdiObjectTraits>;
using owned_memory_dc = owned<HDC, MemoryDcTraits>;

// A screen or window DC, released to the window it came from.
class owned_window_dc {
public:
    explicit owned_window_dc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    owned_window_dc(const owned_window_dc&) = delete;
    owned_window_dc& operator=(const owned_window_dc&) = delete;
    ~owned_window_dc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    HDC get() const noexcept { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

}  // namespace orvane::tests
