#include "orvane/cpu_time.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

namespace orvane {

#if defined(_WIN32)

std::chrono::nanoseconds ProcessCpuTime() {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        return std::chrono::nanoseconds{0};
    auto hundreds = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return std::chrono::nanoseconds{(hundreds(kernel) + hundreds(user)) * 100};
}

#else

std::chrono::nanoseconds ProcessCpuTime() {
    timespec now{};
    if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) != 0) return std::chrono::nanoseconds{0};
    return std::chrono::seconds{now.tv_sec} + std::chrono::nanoseconds{now.tv_nsec};
}

#endif

}  // namespace orvane
