// One base for every window class of the program: a static window procedure
// binds the C++ object at WM_NCCREATE, unbinds it at WM_NCDESTROY, and is the
// boundary where an error escaping a handler is reported and ends the process.
#pragma once

#include <windows.h>

namespace orvane {

class WindowBase {
public:
    WindowBase() = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;
    virtual ~WindowBase() = default;

    HWND hwnd() const noexcept { return hwnd_; }

protected:
    // Registers a class whose procedure is WindowProc (once per class name).
    static void RegisterWindowClass(const wchar_t* class_name, HBRUSH background, HICON icon);
    // Creates the window bound to this object; raises on failure.
    HWND CreateBound(DWORD ex_style, const wchar_t* class_name, const wchar_t* title, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu_or_id);

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The window is going away: its handle is still valid for this call only.
    virtual void OnNcDestroy() {}

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    HWND hwnd_ = nullptr;
};

}  // namespace orvane
