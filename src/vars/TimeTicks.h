#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A count of hundredths of a second with its text form:
//   "h:mm:ss.cc", "1 day h:mm:ss.cc" or "d days, h:mm:ss.cc".
class TimeTicks {
public:
    TimeTicks() = default;
    explicit TimeTicks(std::uint32_t hundredths) : value_(hundredths) {}

    // Reads the text form; missing pieces count 0, so any text gives a count.
    [[nodiscard]] static TimeTicks FromText(std::string_view text);

    [[nodiscard]] std::uint32_t Value() const noexcept { return value_; }
    [[nodiscard]] std::string ToText() const;

private:
    std::uint32_t value_ = 0;
};
