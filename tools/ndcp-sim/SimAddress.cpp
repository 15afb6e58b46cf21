#include "ndcp-sim/SimAddress.h"

#include <charconv>
#include <cstddef>

namespace ndcpsim {
namespace {

[[nodiscard]] int HexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

[[nodiscard]] bool IsMacSeparator(char c) noexcept { return c == ':' || c == '-'; }

// Parses twelve digits, optionally with one separator (the same throughout) after each pair.
[[nodiscard]] std::optional<MacAddress> ParseMacDigits(std::string_view text, char separator) {
    const std::size_t stride = separator == '\0' ? 2 : 3;
    const std::size_t expected = separator == '\0' ? 12 : 17;
    if (text.size() != expected) return std::nullopt;
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * stride;
        const int high = HexDigitValue(text[at]);
        const int low = HexDigitValue(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        if (separator != '\0' && i + 1 < mac.size() && text[at + 2] != separator) return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return mac;
}

}  // namespace

std::optional<MacAddress> ParseMacText(std::string_view text) {
    const char separator = text.size() > 2 && IsMacSeparator(text[2]) ? text[2] : '\0';
    return ParseMacDigits(text, separator);
}

std::optional<Ipv4Address> ParseIpv4Text(std::string_view text) {
    Ipv4Address address{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
        const std::size_t start = pos;
        while (pos < text.size() && pos - start < 4 && text[pos] >= '0' && text[pos] <= '9') ++pos;
        const std::size_t digits = pos - start;
        if (digits == 0 || digits > 3) return std::nullopt;
        unsigned value = 0;
        std::from_chars(text.data() + start, text.data() + pos, value);
        if (value > 255) return std::nullopt;
        address[i] = static_cast<std::uint8_t>(value);
    }
    if (pos != text.size()) return std::nullopt;
    return address;
}

std::string MacToText(const MacAddress& mac) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(mac.size() * 2);
    for (const std::uint8_t byte : mac) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::string Ipv4ToText(const Ipv4Address& address) {
    std::string text;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i > 0) text.push_back('.');
        text += std::to_string(address[i]);
    }
    return text;
}

std::string EndpointToText(const Endpoint& endpoint) {
    return Ipv4ToText(endpoint.address) + ":" + std::to_string(endpoint.port);
}

namespace {

template <std::size_t N>
[[nodiscard]] std::array<std::uint8_t, N> OffsetBytes(std::array<std::uint8_t, N> bytes,
                                                      std::uint32_t count) noexcept {
    std::uint64_t carry = count;
    for (std::size_t i = N; i-- > 0 && carry != 0;) {
        const std::uint64_t sum = bytes[i] + (carry & 0xFF);
        bytes[i] = static_cast<std::uint8_t>(sum & 0xFF);
        carry = (carry >> 8) + (sum >> 8);
    }
    return bytes;
}

}  // namespace

MacAddress OffsetMac(const MacAddress& base, std::uint32_t count) noexcept {
    return OffsetBytes(base, count);
}

Ipv4Address OffsetIpv4(const Ipv4Address& base, std::uint32_t count) noexcept {
    return OffsetBytes(base, count);
}

}  // namespace ndcpsim
