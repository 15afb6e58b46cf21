#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// IPv4 address texts of NDCP values.

// The classic dotted forms of one to four numbers ("a.b.c.d", "a.b.c" with c 16 bits, "a.b" with b
// 24 bits, "a" 32 bits), each number decimal, octal after a leading 0 or hexadecimal after 0x;
// whitespace ends the address and what follows it is ignored. No value for a text that is not an
// address or that holds a zero byte.
[[nodiscard]] std::optional<std::array<std::uint8_t, 4>> InetAddr(std::string_view text);
// Four bytes as dotted decimal.
[[nodiscard]] std::string DottedAddress(const std::array<std::uint8_t, 4>& bytes);
