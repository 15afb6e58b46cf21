#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ndcp/wire/Md5.h"

// Helpers that build datagrams byte by byte, independently of the simulator's own builders.
namespace simtest {

inline std::vector<std::uint8_t> Hex(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (const char c : text) {
        int value = -1;
        if (c >= '0' && c <= '9') value = c - '0';
        if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
        if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
        if (value < 0) continue;  // blanks and separators
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + value));
            high = -1;
        }
    }
    return bytes;
}

inline std::vector<std::uint8_t> Text(std::string_view text) { return {text.begin(), text.end()}; }

inline std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// One element: identifier, big-endian length including the 3 header bytes, value.
inline std::vector<std::uint8_t> Element(std::uint8_t id, const std::vector<std::uint8_t>& value) {
    const std::size_t length = value.size() + 3;
    return Concat(
        {{id, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF)}, value});
}

// Fills bytes 12 to 27 with MD5 over the datagram (those bytes zero) followed by the password.
inline void Authenticate(std::vector<std::uint8_t>& datagram, std::string_view password) {
    std::fill(datagram.begin() + 12, datagram.begin() + 28, 0);
    std::vector<std::uint8_t> input = datagram;
    input.insert(input.end(), password.begin(), password.end());
    const Md5::Digest digest = Md5::Of(input);
    std::copy(digest.begin(), digest.end(), datagram.begin() + 12);
}

// A request as the utility sends it: signature, command, sequence, total length, 0x1000 at 10,
// target MAC (12 hex digits), byte 34 = 1, the area, and the authenticator of the password.
inline std::vector<std::uint8_t> Request(std::uint8_t command, std::uint8_t sequence,
                                         std::string_view targetMac, const std::vector<std::uint8_t>& area,
                                         std::string_view password) {
    const std::size_t total = 36 + area.size();
    std::vector<std::uint8_t> datagram = Concat({Hex("09 2B 13 38"),
                                                 {command, sequence, static_cast<std::uint8_t>(total >> 8),
                                                  static_cast<std::uint8_t>(total & 0xFF), 0, 0, 0x10, 0},
                                                 std::vector<std::uint8_t>(16, 0),
                                                 Hex(targetMac),
                                                 {1, 0},
                                                 area});
    Authenticate(datagram, password);
    return datagram;
}

inline constexpr std::string_view kBroadcast = "FFFFFFFFFFFF";
// EncryptAccessPassword("5A3C96E10F7B2D48", "admin"), worked out with
// `printf 'admin\x80\0\0' | openssl enc -des-ede-ecb -K <key text as hex> -nopad`.
inline constexpr std::string_view kAdminEncrypted = "A9F87529E5FB1F7C";

}  // namespace simtest
