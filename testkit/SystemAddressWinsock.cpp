#include "testkit/SystemAddress.h"

#include <winsock2.h>

#include <cstring>

std::array<std::uint8_t, 4> SystemAddressBytes(const char* text) {
    // In network order, the bytes as the text names them; INADDR_NONE is 255.255.255.255 already.
    const unsigned long address = inet_addr(text);
    std::array<std::uint8_t, 4> bytes{};
    static_assert(sizeof(std::uint32_t) == bytes.size());
    const auto word = static_cast<std::uint32_t>(address);
    std::memcpy(bytes.data(), &word, bytes.size());
    return bytes;
}
