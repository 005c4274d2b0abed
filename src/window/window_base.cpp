#include "window/window_base.h"

#include "support/app_error.h"

namespace orvane {

void WindowBase::RegisterWindowClass(const wchar_t* class_name, HBRUSH background, HICON icon) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (::GetClassInfoExW(instance, class_name, &existing)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &WindowBase::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.lpszClassName = class_name;
    if (!::RegisterClassExW(&wc)) RaiseLastError();
}

HWND WindowBase::CreateBound(DWORD ex_style, const wchar_t* class_name, const wchar_t* title,
                             DWORD style, int x, int y, int width, int height, HWND parent,
                             HMENU menu_or_id) {
    const HWND hwnd = ::CreateWindowExW(ex_style, class_name, title, style, x, y, width, height,
                                        parent, menu_or_id, ::GetModuleHandleW(nullptr), this);
    if (!hwnd) RaiseLastError();
    return hwnd;
}

LRESULT WindowBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK WindowBase::WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                        LPARAM lParam) noexcept {
    WindowBase* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<WindowBase*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self || ProgramEnding()) return ::DefWindowProcW(hwnd, message, wParam, lParam);

    if (message == WM_NCDESTROY) {
        return GuardBoundary([&]() -> LRESULT {
            self->OnNcDestroy();
            ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        });
    }
    return GuardBoundary([&]() -> LRESULT { return self->HandleMessage(message, wParam, lParam); });
}

}  // namespace orvane
