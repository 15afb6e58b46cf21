#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "ndcp-sim/SimAddress.h"

namespace ndcpsim {

// The datagram layout as a device reads it.
inline constexpr std::size_t kHeaderSize = 36;
inline constexpr std::size_t kElementHeaderSize = 3;
inline constexpr std::array<std::uint8_t, 4> kSignature = {0x09, 0x2B, 0x13, 0x38};
inline constexpr std::size_t kOffsetCommand = 4;
inline constexpr std::size_t kOffsetSequence = 5;
inline constexpr std::size_t kOffsetTotalLength = 6;
inline constexpr std::size_t kOffsetReserved = 8;
inline constexpr std::size_t kOffsetControl = 10;
inline constexpr std::size_t kOffsetReserved11 = 11;
inline constexpr std::size_t kOffsetAuthenticator = 12;
inline constexpr std::size_t kAuthenticatorSize = 16;
inline constexpr std::size_t kOffsetTargetMac = 28;
inline constexpr std::size_t kOffsetFixedByte = 34;
inline constexpr std::size_t kOffsetReserved35 = 35;

enum Command : std::uint8_t { kDiscover = 1, kSet = 3, kGet = 5 };

// Why a device drops a datagram without answering.
enum class RequestError {
    kNone,
    kShort,          // fewer than 36 bytes
    kSignature,      // bytes 0 to 3 are not the signature
    kTotalLength,    // the total length field differs from the bytes received
    kElementHeader,  // an element's 3 header bytes run past the end
    kElementLength,  // an element length below 3
    kElementValue,   // an element's value runs past the end
};

// Short machine-readable name of an error ("short", "signature", ...); "none" for kNone.
[[nodiscard]] std::string_view RequestErrorName(RequestError error) noexcept;

// One element of the variable area; value points into the parsed datagram.
struct SimElement {
    std::uint8_t id = 0;
    std::uint16_t length = 0;
    std::span<const std::uint8_t> value;
};

struct SimRequest {
    std::uint8_t command = 0;
    std::uint8_t sequence = 0;
    std::uint16_t totalLength = 0;
    std::uint16_t reserved = 0;
    std::uint8_t control = 0;
    std::uint8_t reserved11 = 0;
    std::array<std::uint8_t, kAuthenticatorSize> authenticator{};
    MacAddress target{};
    std::uint8_t fixedByte = 0;
    std::uint8_t reserved35 = 0;
    std::vector<SimElement> elements;
};

struct ParsedRequest {
    RequestError error = RequestError::kNone;
    // Filled as far as the header could be read: completely when error is kNone, header fields
    // only when at least 36 bytes arrived, nothing otherwise.
    SimRequest request;
};

// Reads a received datagram. Every read is checked against datagram.size(); the element values of
// the result point into datagram, which must outlive it.
[[nodiscard]] ParsedRequest ParseRequest(std::span<const std::uint8_t> datagram);

// Big-endian 16-bit value at offset; the caller guarantees offset + 2 <= bytes.size().
[[nodiscard]] std::uint16_t ReadBigEndian16(std::span<const std::uint8_t> bytes, std::size_t offset) noexcept;

}  // namespace ndcpsim
