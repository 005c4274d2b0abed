// The Win32 owners: one alias of unique_any per kind of handle, and the few
// owners whose release needs more than the handle (a window's DC, a
// selected GDI object, a COM reference, a BSTR, the thread's apartment).
// Every handle the program and its components obtain is held by one of
// these; nothing is closed by hand on a normal path.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstddef>
#include <utility>

#include "orvane/unique_any.h"

namespace orvane {

namespace detail {
inline void CloseKey(HKEY h) noexcept { ::RegCloseKey(h); }
inline void CloseKernelHandle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void CloseFind(HANDLE h) noexcept { ::FindClose(h); }
inline void CloseHook(HHOOK h) noexcept { ::UnhookWindowsHookEx(h); }
inline void CloseIcon(HICON h) noexcept { ::DestroyIcon(h); }
inline void CloseGdi(HGDIOBJ h) noexcept { ::DeleteObject(h); }
inline void CloseFont(HFONT h) noexcept { ::DeleteObject(h); }
inline void CloseBitmap(HBITMAP h) noexcept { ::DeleteObject(h); }
inline void CloseBrush(HBRUSH h) noexcept { ::DeleteObject(h); }
inline void CloseMemDc(HDC h) noexcept { ::DeleteDC(h); }
inline void CloseActCtx(HANDLE h) noexcept { ::ReleaseActCtx(h); }
inline void CloseModule(HMODULE h) noexcept { ::FreeLibrary(h); }
inline void CloseWindowFn(HWND h) noexcept { ::DestroyWindow(h); }
inline void FreeCoTaskString(wchar_t* p) noexcept { ::CoTaskMemFree(p); }
}  // namespace detail

using unique_hkey = unique_any<HKEY, detail::CloseKey>;
// Kernel objects that fail with a null handle (events, processes, threads).
using unique_handle = unique_any<HANDLE, detail::CloseKernelHandle>;
// CreateFileW fails with INVALID_HANDLE_VALUE.
using unique_file = unique_any<HANDLE, detail::CloseKernelHandle, none_value::minus_one>;
using unique_find = unique_any<HANDLE, detail::CloseFind, none_value::minus_one>;
using unique_hhook = unique_any<HHOOK, detail::CloseHook>;
using unique_hicon = unique_any<HICON, detail::CloseIcon>;
using unique_gdi = unique_any<HGDIOBJ, detail::CloseGdi>;
using unique_hfont = unique_any<HFONT, detail::CloseFont>;
using unique_hbitmap = unique_any<HBITMAP, detail::CloseBitmap>;
using unique_hbrush = unique_any<HBRUSH, detail::CloseBrush>;
using unique_mem_dc = unique_any<HDC, detail::CloseMemDc>;
// CreateActCtxW fails with INVALID_HANDLE_VALUE, GetCurrentActCtx says
// "none" with a null handle: neither is released.
using unique_actctx = unique_any<HANDLE, detail::CloseActCtx, none_value::null_or_minus_one>;
using unique_hmodule = unique_any<HMODULE, detail::CloseModule>;
using unique_hwnd = unique_any<HWND, detail::CloseWindowFn>;
// Strings the shell and COM allocate for the caller (SHGetKnownFolderPath).
using unique_cotaskmem_string = unique_any<wchar_t*, detail::FreeCoTaskString>;

// An event object, with the three things done to one.
class unique_event : public unique_handle {
public:
    using unique_handle::unique_handle;

    // A new unsignalled event in place of what was held; false (the reason
    // in GetLastError) when none could be made.
    bool try_create_manual_reset() noexcept {
        reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        return static_cast<bool>(*this);
    }
    void SetEvent() const noexcept { ::SetEvent(get()); }
    void ResetEvent() const noexcept { ::ResetEvent(get()); }
    // True when the event is signalled within `milliseconds`.
    bool wait(DWORD milliseconds = INFINITE) const noexcept {
        return ::WaitForSingleObject(get(), milliseconds) == WAIT_OBJECT_0;
    }
};

// A window's device context, released to the window it came from.
class unique_window_dc {
public:
    explicit unique_window_dc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    unique_window_dc(const unique_window_dc&) = delete;
    unique_window_dc& operator=(const unique_window_dc&) = delete;
    ~unique_window_dc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    HDC get() const noexcept { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// Puts back the object a DC had before SelectObject.
class scoped_select {
public:
    scoped_select(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
    scoped_select(const scoped_select&) = delete;
    scoped_select& operator=(const scoped_select&) = delete;
    ~scoped_select() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A COM interface pointer.
template <class T>
class com_ptr {
public:
    com_ptr() noexcept = default;
    com_ptr(std::nullptr_t) noexcept {}
    explicit com_ptr(T* p) noexcept : p_(p) {}  // takes ownership of one reference
    com_ptr(const com_ptr& other) noexcept : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    com_ptr& operator=(com_ptr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~com_ptr() { reset(); }

    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

private:
    T* p_ = nullptr;
};

// A BSTR owned by the caller.
class unique_bstr {
public:
    unique_bstr() noexcept = default;
    explicit unique_bstr(const wchar_t* text) noexcept : b_(::SysAllocString(text)) {}
    unique_bstr(const wchar_t* text, UINT length) noexcept
        : b_(::SysAllocStringLen(text, length)) {}
    unique_bstr(const unique_bstr&) = delete;
    unique_bstr& operator=(const unique_bstr&) = delete;
    ~unique_bstr() { ::SysFreeString(b_); }
    BSTR get() const noexcept { return b_; }
    BSTR* put() noexcept {
        ::SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    UINT length() const noexcept { return ::SysStringLen(b_); }

private:
    BSTR b_ = nullptr;
};

// CoInitializeEx / CoUninitialize for the current thread.
class scoped_com_apartment {
public:
    explicit scoped_com_apartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : hr_(::CoInitializeEx(nullptr, model)) {}
    scoped_com_apartment(const scoped_com_apartment&) = delete;
    scoped_com_apartment& operator=(const scoped_com_apartment&) = delete;
    ~scoped_com_apartment() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    HRESULT result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace orvane
