// Ctrl+C, SIGINT and SIGTERM (console control events on Windows) as a
// request to stop: the running scan is cancelled at once, the report writer
// sees the request and drops its temporary file, and the program ends with
// 128 + the signal's number. A second request, or a program that has not
// ended a second after the first, ends the process at once.
#pragma once

#include <atomic>

namespace orvane::engine {
class Scanner;
}

namespace orvane::engine::cli {

// Once, before any other thread starts: the signals are then taken by one
// thread of ours, never by a worker in the middle of its work.
void InstallStopHandling();

// Set once a stop has been requested; the writer's abandon flag.
const std::atomic<bool>& StopRequested();

// 130 after SIGINT or Ctrl+C, 143 after SIGTERM or the console's other
// events; 0 while no stop was requested.
int StopExitCode();

// The scan a stop request cancels, for the lifetime of this object.
class CancelOnStop {
public:
    explicit CancelOnStop(Scanner& scanner);
    ~CancelOnStop();
    CancelOnStop(const CancelOnStop&) = delete;
    CancelOnStop& operator=(const CancelOnStop&) = delete;
};

}  // namespace orvane::engine::cli
