// The wait of a blocking call made on a user-interface thread: the thread
// goes on dispatching its window messages, so timers and clicks of the
// caller's window run nested inside the call.
#pragma once

#include <windows.h>

namespace orvane::engine::com {

enum class PumpOutcome {
    kDone,       // `done` was signalled
    kCancelled,  // `cancel` was signalled (possibly by a handler run from the pump)
    kQuit,       // WM_QUIT arrived; it has been posted again for the outer loop
};

// Dispatches messages until one of the two events is signalled or WM_QUIT
// is met. Cancel wins over done when both are set.
PumpOutcome PumpMessagesUntil(HANDLE done, HANDLE cancel);

}  // namespace orvane::engine::com
