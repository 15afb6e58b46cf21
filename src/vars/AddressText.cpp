#include "vars/AddressText.h"

#include <charconv>

namespace {

[[nodiscard]] bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
[[nodiscard]] bool IsSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

[[nodiscard]] int DigitValue(char c) noexcept {
    if (IsDigit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 16;
}

// One number of an address at the start of rest, which must be a digit: hexadecimal after "0x"
// (when a hexadecimal digit follows), octal after another leading 0, decimal otherwise. Reads as
// far as the base's digits go and moves rest past them; no value beyond 32 bits.
[[nodiscard]] std::optional<std::uint32_t> ReadNumber(std::string_view& rest) noexcept {
    std::uint32_t base = 10;
    std::size_t at = 0;
    if (rest.size() > 1 && rest[0] == '0') {
        const bool hex = (rest[1] == 'x' || rest[1] == 'X') && rest.size() > 2 && DigitValue(rest[2]) < 16;
        base = hex ? 16 : 8;
        at = hex ? 2 : 1;
    }
    std::uint64_t value = 0;
    for (; at < rest.size(); ++at) {
        const auto digit = static_cast<std::uint32_t>(DigitValue(rest[at]));
        if (digit >= base) break;
        value = value * base + digit;
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    rest.remove_prefix(at);
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::array<std::uint8_t, 4>> InetAddr(std::string_view text) {
    // The C conversion this follows stops at a zero byte; a text holding one is not an address.
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    // The largest value of the last number after 0, 1, 2 or 3 dotted bytes.
    static constexpr std::uint32_t kLastMax[4] = {0xFFFFFFFFu, 0xFFFFFFu, 0xFFFFu, 0xFFu};
    std::array<std::uint8_t, 4> bytes{};
    std::size_t parts = 0;  // the bytes read before the last number
    std::string_view rest = text;
    std::uint32_t last = 0;
    for (;;) {
        if (rest.empty() || !IsDigit(rest.front())) return std::nullopt;
        const auto number = ReadNumber(rest);
        if (!number) return std::nullopt;
        last = *number;
        if (rest.empty() || rest.front() != '.') break;
        if (parts > 2 || last > 0xFF) return std::nullopt;
        bytes[parts++] = static_cast<std::uint8_t>(last);
        rest.remove_prefix(1);
    }
    if (!rest.empty() && !IsSpace(rest.front())) return std::nullopt;
    if (last > kLastMax[parts]) return std::nullopt;
    // The last number fills the bytes after the dotted ones, most significant first.
    for (std::size_t i = bytes.size(); i-- > parts;) {
        bytes[i] = static_cast<std::uint8_t>(last & 0xFFu);
        last >>= 8;
    }
    return bytes;
}

std::string DottedAddress(const std::array<std::uint8_t, 4>& bytes) {
    // Built in place: every answer of a discovery carries two addresses.
    std::string text;
    text.reserve(15);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text.push_back('.');
        std::array<char, 3> digits{};
        const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), bytes[i]);
        text.append(digits.data(), written.ptr);
    }
    return text;
}
