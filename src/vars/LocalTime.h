#pragma once

#include <ctime>

// The calendar time of a moment in the local time zone, through the platform's thread-safe
// conversion.
[[nodiscard]] std::tm LocalCalendarTime(std::time_t moment) noexcept;
