// Owners for Win32 handles: one small template, one alias per kind of handle.
// Every handle the program obtains is held by one of these; nothing is closed
// by hand on a normal path.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <type_traits>
#include <utility>

namespace orvane {

// Handles whose "none" value is INVALID_HANDLE_VALUE rather than null.
struct minus_one_is_none {};

template <class Handle, auto Close, class NoneValue = void>
class unique_any {
    static Handle None() noexcept {
        if constexpr (std::is_same_v<NoneValue, minus_one_is_none>) {
            return reinterpret_cast<Handle>(static_cast<INT_PTR>(-1));
        } else {
            return Handle{};
        }
    }

public:
    unique_any() noexcept = default;
    explicit unique_any(Handle h) noexcept : handle_(h) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : handle_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != None(); }
    Handle release() noexcept { return std::exchange(handle_, None()); }
    void reset(Handle h = None()) noexcept {
        const Handle old = std::exchange(handle_, h);
        if (old != None()) Close(old);
    }
    // For APIs that return the handle through an out pointer.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = None();
};

namespace detail {
inline void CloseKey(HKEY h) noexcept { ::RegCloseKey(h); }
inline void CloseHandleFn(HANDLE h) noexcept { ::CloseHandle(h); }
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
}  // namespace detail

using unique_hkey = unique_any<HKEY, detail::CloseKey>;
using unique_handle = unique_any<HANDLE, detail::CloseHandleFn>;
using unique_file = unique_any<HANDLE, detail::CloseHandleFn, minus_one_is_none>;
using unique_find = unique_any<HANDLE, detail::CloseFind, minus_one_is_none>;
using unique_hhook = unique_any<HHOOK, detail::CloseHook>;
using unique_hicon = unique_any<HICON, detail::CloseIcon>;
using unique_hfont = unique_any<HFONT, detail::CloseFont>;
using unique_hbitmap = unique_any<HBITMAP, detail::CloseBitmap>;
using unique_hbrush = unique_any<HBRUSH, detail::CloseBrush>;
using unique_mem_dc = unique_any<HDC, detail::CloseMemDc>;
using unique_actctx = unique_any<HANDLE, detail::CloseActCtx, minus_one_is_none>;
using unique_hmodule = unique_any<HMODULE, detail::CloseModule>;
using unique_hwnd = unique_any<HWND, detail::CloseWindowFn>;

// A window's device context, released with the window it came from.
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
