// The CPU time the whole process has used, for deciding whether its threads
// are computing or waiting. Both platforms behind one function.
#pragma once

#include <chrono>

namespace orvane {

// User and kernel time of every thread of the process so far.
std::chrono::nanoseconds ProcessCpuTime();

// How finely ProcessCpuTime moves: Linux counts exactly, Windows adds a
// thread's time at each clock tick (15.6 ms by default). A measurement over a
// window a few times this long is good to a few tens of percent.
#if defined(_WIN32)
inline constexpr std::chrono::microseconds kProcessCpuTimeStep{15625};
#else
inline constexpr std::chrono::microseconds kProcessCpuTimeStep{1};
#endif

}  // namespace orvane
