// A window's progress on its taskbar button. The shell's taskbar object can
// be had only once the shell has made the button (it says so with the
// registered "TaskbarButtonCreated" message, again after it restarts); before
// that, and wherever there is no such shell, every call changes nothing and
// the state is kept to be shown once the button exists.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <functional>

#include "orvane/win32_handles.h"

namespace orvane {

// Makes the taskbar object; empty where there is none. Tests put in a
// stand-in through UseTaskbarFactory.
using TaskbarFactory = std::function<com_ptr<ITaskbarList3>()>;
// Replaces the factory (an empty one brings back the shell's); returns the old.
TaskbarFactory UseTaskbarFactory(TaskbarFactory factory);

class TaskbarProgress {
public:
    // The message that says the button exists (0 where it cannot be registered).
    static UINT ButtonCreatedMessage() noexcept;

    // The button of window exists (again): get the taskbar and show the state.
    void OnButtonCreated(HWND window) noexcept;
    // A run is going: percent (0 to 100) of it is done.
    void ShowProgress(int percent) noexcept;
    // The run is done: a full bar in the normal colour.
    void ShowComplete() noexcept { ShowProgress(100); }
    // Something went wrong: the bar turns to the error colour at its value.
    void ShowError() noexcept;
    // No progress on the button any more.
    void Remove() noexcept;
    // The window is going: let go of the taskbar.
    void Release() noexcept;

private:
    void Apply() noexcept;
    HWND window_ = nullptr;
    com_ptr<ITaskbarList3> taskbar_;
    TBPFLAG state_ = TBPF_NOPROGRESS;
    int percent_ = 0;
};

}  // namespace orvane
