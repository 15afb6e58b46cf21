#include "vars/TimeTicks.h"

#include "vars/IntegerText.h"

#include <cstdio>

namespace {

constexpr std::uint32_t kPerDay = 8640000;
constexpr std::uint32_t kPerHour = 360000;
constexpr std::uint32_t kPerMinute = 6000;
constexpr std::uint32_t kPerSecond = 100;

// The leading integer of a piece cut to 32 bits; the counts wrap as unsigned 32-bit numbers.
[[nodiscard]] std::uint32_t PieceValue(std::string_view piece) noexcept {
    return static_cast<std::uint32_t>(LeadingInteger(piece));
}

// Reads the number before the next delimiter and moves past it; a missing delimiter leaves the
// text as it is and counts 0.
[[nodiscard]] std::uint32_t TakeBefore(std::string_view& rest, char delimiter) noexcept {
    const auto pos = rest.find(delimiter);
    if (pos == std::string_view::npos) return 0;
    const auto value = PieceValue(rest.substr(0, pos));
    rest.remove_prefix(pos + 1);
    return value;
}

// Reads a leading day count before "days" (or else "day") and moves past the word.
[[nodiscard]] std::uint32_t TakeDays(std::string_view& rest) noexcept {
    for (const std::string_view word : {std::string_view("days"), std::string_view("day")}) {
        const auto pos = rest.find(word);
        if (pos != std::string_view::npos) {
            const auto value = PieceValue(rest.substr(0, pos));
            rest.remove_prefix(pos + word.size());
            return value;
        }
    }
    return 0;
}

}  // namespace

TimeTicks TimeTicks::FromText(std::string_view text) {
    std::string_view rest = text;
    const std::uint32_t days = TakeDays(rest);
    if (const auto comma = rest.find(','); comma != std::string_view::npos) rest.remove_prefix(comma + 1);
    const std::uint32_t hours = TakeBefore(rest, ':');
    const std::uint32_t minutes = TakeBefore(rest, ':');
    std::uint32_t seconds = 0;
    std::uint32_t hundredths = 0;
    if (const auto dot = rest.find('.'); dot != std::string_view::npos) {
        seconds = PieceValue(rest.substr(0, dot));
        hundredths = PieceValue(rest.substr(dot + 1));
    } else {
        // A deliberate departure from reading seconds only before a ".": "2:03:04" names its
        // seconds as plainly as "2:03:04.00", and that reading would drop them without a word
        // (2 h 3 min). Texts written here always have the ".", so they read the same either way.
        seconds = PieceValue(rest);
    }
    return TimeTicks(days * kPerDay + hours * kPerHour + minutes * kPerMinute + seconds * kPerSecond +
                     hundredths);
}

std::string TimeTicks::ToText() const {
    const unsigned long days = value_ / kPerDay;
    const unsigned long hours = value_ % kPerDay / kPerHour;
    const unsigned long minutes = value_ % kPerHour / kPerMinute;
    const unsigned long seconds = value_ % kPerMinute / kPerSecond;
    const unsigned long hundredths = value_ % kPerSecond;
    char buffer[64];
    if (days == 0) {
        std::snprintf(buffer, sizeof buffer, "%lu:%02lu:%02lu.%02lu", hours, minutes, seconds, hundredths);
    } else if (days == 1) {
        std::snprintf(buffer, sizeof buffer, "1 day %lu:%02lu:%02lu.%02lu", hours, minutes, seconds,
                      hundredths);
    } else {
        std::snprintf(buffer, sizeof buffer, "%lu days, %lu:%02lu:%02lu.%02lu", days, hours, minutes, seconds,
                      hundredths);
    }
    return buffer;
}
