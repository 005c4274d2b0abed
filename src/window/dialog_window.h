// What every dialog-like top-level window of the program needs, in one base:
// the tab order over its controls, the control that had the focus when the
// window was deactivated, the close box, and the program-wide mouse pointer.
// A derived window lists its controls and maps the ids of the clicks it gets
// to its handlers; it never handles these messages itself.
#pragma once

#include <windows.h>

#include <vector>

#include "window/controls.h"
#include "window/window_base.h"

namespace orvane {

class DialogWindow : public WindowBase {
protected:
    // Every control of the window, containers included.
    virtual std::vector<Control*> AllControls() = 0;
    // A button or check box that the user could see and use was clicked.
    virtual void OnClick(int control_id) = 0;
    // The close box, the system menu's Close, or the end of the session.
    virtual void OnCloseBox() = 0;

    // The controls that take the focus, by tab index.
    std::vector<Control*> TabOrder();
    // Tab and Shift+Tab move through TabOrder(); call once the controls exist.
    void EnableTabbing();
    // The next (or previous) control that is visible and enabled gets the focus.
    void MoveFocus(bool backwards);

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Whether the activation was handled (the remembered control got the focus).
    bool OnActivate(bool active);
    static LRESULT CALLBACK TabbingSubclassProc(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam, UINT_PTR id,
                                                DWORD_PTR data) noexcept;
    HWND last_focus_ = nullptr;
};

}  // namespace orvane
