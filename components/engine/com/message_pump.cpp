#include "message_pump.h"

namespace orvane::engine::com {

namespace {

bool IsSignalled(HANDLE event) { return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// Runs the messages already queued. False when WM_QUIT was met. A handler
// may cancel or end the work, so both are looked at after every message:
// a steady stream of messages must not delay the return.
bool DispatchPending(HANDLE done, HANDLE cancel) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        if (IsSignalled(cancel) || IsSignalled(done)) break;
    }
    return true;
}

}  // namespace

PumpOutcome PumpMessagesUntil(HANDLE done, HANDLE cancel) {
    const HANDLE handles[2] = {cancel, done};
    for (;;) {
        if (IsSignalled(cancel)) return PumpOutcome::kCancelled;
        if (IsSignalled(done)) return PumpOutcome::kDone;
        // MWMO_INPUTAVAILABLE: also wake for messages that were already
        // seen but left in the queue by an earlier peek.
        const DWORD woken =
            ::MsgWaitForMultipleObjectsEx(2, handles, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) return PumpOutcome::kCancelled;
        if (woken == WAIT_OBJECT_0 + 1) {
            if (IsSignalled(cancel)) return PumpOutcome::kCancelled;
            return PumpOutcome::kDone;
        }
        if (woken == WAIT_FAILED) {
            // Cannot happen with valid handles; do not spin, and keep the
            // thread's messages moving at a slow pace if it ever does.
            ::Sleep(10);
        }
        if (!DispatchPending(done, cancel)) return PumpOutcome::kQuit;
    }
}

}  // namespace orvane::engine::com
