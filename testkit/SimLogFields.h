#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The value of "key=value" in a log line of the simulator, if the line has that field.
[[nodiscard]] std::optional<std::string> LogField(std::string_view line, std::string_view key);
// The same field as a number; none when missing or not a decimal number.
[[nodiscard]] std::optional<std::uint64_t> LogNumber(std::string_view line, std::string_view key);
