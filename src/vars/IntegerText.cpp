#include "vars/IntegerText.h"

#include <limits>
#include <string>

namespace {

[[nodiscard]] bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
[[nodiscard]] bool IsSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// An optional sign and at least one decimal digit, nothing else. Values beyond +-2^33 are cut off
// there, which every caller refuses anyway.
[[nodiscard]] std::optional<std::int64_t> StrictDecimal(std::string_view text) noexcept {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    constexpr std::int64_t kCap = std::int64_t{1} << 33;
    std::int64_t value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        if (value < kCap) value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

}  // namespace

std::optional<std::int32_t> TryParseInt32Text(std::string_view text) noexcept {
    const auto value = StrictDecimal(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

OvException NotIntegerError(std::string_view text) {
    return OvException("'" + std::string(text) + "' is not a valid integer value");
}

std::int32_t ParseInt32Text(std::string_view text) {
    const auto value = TryParseInt32Text(text);
    if (!value) throw NotIntegerError(text);
    return *value;
}

std::uint32_t ParseUInt32Text(std::string_view text) {
    const auto value = StrictDecimal(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::uint32_t>::max()) {
        throw NotIntegerError(text);
    }
    return static_cast<std::uint32_t>(*value);
}

std::int64_t LeadingInteger(std::string_view text) noexcept {
    std::size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Unsigned arithmetic wraps, so an over-long number keeps its low bits.
    std::uint64_t value = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
    }
    return static_cast<std::int64_t>(negative ? 0 - value : value);
}
