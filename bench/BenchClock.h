#pragma once

#include <time.h>

#include <chrono>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// This thread's CPU time in milliseconds: what a stretch cost this thread, not the other processes.
inline double ThreadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The CPU time of all this process's threads in milliseconds.
inline double ProcessCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

}  // namespace bench
