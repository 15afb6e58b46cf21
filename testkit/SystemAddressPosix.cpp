#include "testkit/SystemAddress.h"

#include <arpa/inet.h>

#include <cstring>

std::array<std::uint8_t, 4> SystemAddressBytes(const char* text) {
    in_addr address{};
    if (inet_aton(text, &address) == 0) return {0xFF, 0xFF, 0xFF, 0xFF};
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &address.s_addr, bytes.size());
    return bytes;
}
