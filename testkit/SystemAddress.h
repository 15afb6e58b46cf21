#pragma once

#include <array>
#include <cstdint>

// The system's own conversion of an IPv4 address text, the oracle of the project's: Winsock's
// inet_addr on Windows, the C library's inet_aton elsewhere. A text that is not an address gives
// 255.255.255.255, as inet_addr gives INADDR_NONE.
[[nodiscard]] std::array<std::uint8_t, 4> SystemAddressBytes(const char* text);
