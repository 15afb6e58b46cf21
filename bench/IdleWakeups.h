#pragma once

#include <string>

#include <QString>

// How often a program wakes up while it has nothing to do: the voluntary context switches of all
// its threads, which a thread makes each time it goes back to sleep.
struct IdleResult {
    double wakeupsPerSecond = 0;
    double cpuMs = 0;              // CPU time the program used over the measured stretch
    double tickMs = 0;             // the step in which the system counts CPU time
    double seconds = 0;            // length of the measured stretch
    double peakResidentBytes = 0;  // the program's peak resident set (VmHWM) at the end
    std::string error;             // empty when the measurement worked
};

// Starts the program (its standard output discarded), leaves it settleMs to open its window and
// finish what it does at start, then measures it over measureMs, reads its peak memory and ends
// it.
[[nodiscard]] IdleResult MeasureIdleWakeups(const QString& program, int settleMs, int measureMs);
