#pragma once

#include <optional>
#include <string>

// Puts the time zone TZ in force for the C library's local time for as long as it lives, then
// restores the one before (or none).
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> saved_;
};
