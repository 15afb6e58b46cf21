#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// What the system's process files say about a process, read from their text.

// User plus system CPU time in clock ticks, fields 14 and 15 of a /proc/PID/stat line (counted
// after the command name, which may hold blanks and parentheses and ends at the last ')'); none
// when the process has ended (state Z or X, field 3) or the line is not such a line.
[[nodiscard]] std::optional<std::uint64_t> StatCpuTicks(std::string_view statLine);

// The "voluntary_ctxt_switches:" count of a /proc/PID/task/TID/status text; none without one.
[[nodiscard]] std::optional<std::uint64_t> StatusVoluntarySwitches(std::string_view statusText);

// The peak resident set ("VmHWM:" in kB) of a /proc/PID/status text, in bytes; none without one.
[[nodiscard]] std::optional<std::uint64_t> StatusPeakResidentBytes(std::string_view statusText);

// The time a thread ran on a processor and the time it waited, runnable, for one, in nanoseconds:
// the first two fields of a /proc/PID/task/TID/schedstat line; none when it is not such a line.
struct ScheduleTimes {
    std::uint64_t runNs = 0;
    std::uint64_t waitNs = 0;
};
[[nodiscard]] std::optional<ScheduleTimes> SchedstatTimes(std::string_view schedstatLine);
