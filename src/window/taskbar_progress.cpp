#include "window/taskbar_progress.h"

#include <algorithm>
#include <utility>

namespace orvane {

namespace {

com_ptr<ITaskbarList3> CreateShellTaskbar() {
    com_ptr<ITaskbarList3> taskbar;
    if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ITaskbarList3, taskbar.put_void())))
        return {};
    if (FAILED(taskbar->HrInit())) return {};
    return taskbar;
}

TaskbarFactory& Factory() {
    static TaskbarFactory factory;
    return factory;
}

}  // namespace

TaskbarFactory UseTaskbarFactory(TaskbarFactory factory) {
    return std::exchange(Factory(), std::move(factory));
}

UINT TaskbarProgress::ButtonCreatedMessage() noexcept {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

void TaskbarProgress::OnButtonCreated(HWND window) noexcept {
    window_ = window;
    // After a restart of the shell the old object belongs to a taskbar that
    // is gone: a new one is asked for each time.
    try {
        taskbar_ = Factory() ? Factory()() : CreateShellTaskbar();
    } catch (...) {
        taskbar_.reset();
    }
    Apply();
}

void TaskbarProgress::ShowProgress(int percent) noexcept {
    percent_ = std::clamp(percent, 0, 100);
    state_ = TBPF_NORMAL;
    Apply();
}

void TaskbarProgress::ShowError() noexcept {
    // Before any progress a full bar, so the colour can be seen at all.
    if (state_ == TBPF_NOPROGRESS) percent_ = 100;
    state_ = TBPF_ERROR;
    Apply();
}

void TaskbarProgress::Remove() noexcept {
    state_ = TBPF_NOPROGRESS;
    percent_ = 0;
    Apply();
}

void TaskbarProgress::Release() noexcept {
    taskbar_.reset();
    window_ = nullptr;
}

void TaskbarProgress::Apply() noexcept {
    if (!taskbar_ || !window_) return;
    // A failing taskbar leaves the button as it was: the window does not depend on it.
    taskbar_->SetProgressState(window_, state_);
    if (state_ != TBPF_NOPROGRESS)
        taskbar_->SetProgressValue(window_, static_cast<ULONGLONG>(percent_), 100);
}

}  // namespace orvane
