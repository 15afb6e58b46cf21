#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ndcpsim {

using MacAddress = std::array<std::uint8_t, 6>;
using Ipv4Address = std::array<std::uint8_t, 4>;

inline constexpr MacAddress kBroadcastMac = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// An IPv4 address and UDP port, both in host terms.
struct Endpoint {
    Ipv4Address address{};
    std::uint16_t port = 0;

    friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

// Six bytes from "00:11:22:33:44:01", "00-11-22-33-44-01" or "001122334401" (either case).
// Anything else, including a wrong number of digits, gives none.
[[nodiscard]] std::optional<MacAddress> ParseMacText(std::string_view text);

// Four bytes from strict dotted decimal: four numbers 0 to 255 of one to three digits.
[[nodiscard]] std::optional<Ipv4Address> ParseIpv4Text(std::string_view text);

// Twelve upper-case hexadecimal digits, no separators.
[[nodiscard]] std::string MacToText(const MacAddress& mac);

// Dotted decimal.
[[nodiscard]] std::string Ipv4ToText(const Ipv4Address& address);

// "a.b.c.d:port".
[[nodiscard]] std::string EndpointToText(const Endpoint& endpoint);

// The address that lies count steps above base, each byte carrying into the one before it.
[[nodiscard]] MacAddress OffsetMac(const MacAddress& base, std::uint32_t count) noexcept;
[[nodiscard]] Ipv4Address OffsetIpv4(const Ipv4Address& base, std::uint32_t count) noexcept;

}  // namespace ndcpsim
