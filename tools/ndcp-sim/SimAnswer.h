#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "device/DeviceProfile.h"
#include "ndcp-sim/SimAddress.h"
#include "ndcp-sim/SimDevice.h"

namespace ndcpsim {

inline constexpr std::size_t kMaxElementValue = 65532;
// The largest datagram the utility receives whole; answers a device builds stay within it.
inline constexpr std::size_t kMaxAnswerSize = 8912;
// The largest area that still fits a 16-bit total length.
inline constexpr std::size_t kMaxArea = 65535 - 36;

// Answer statuses, the low 4 bits of byte 10.
inline constexpr std::uint8_t kStatusOk = 0;
inline constexpr std::uint8_t kStatusPasswordError = 1;
inline constexpr std::uint8_t kStatusNotDone = 2;
inline constexpr std::uint8_t kStatusBadCommand = 3;

struct AnswerHeader {
    std::uint8_t command = 0;
    std::uint8_t sequence = 0;
    std::uint8_t status = 0;
    MacAddress mac{};
    // Authenticates the answer the way a request is authenticated.
    std::string_view password;
};

// Appends one element: identifier, big-endian length counting the 3 header bytes, value.
// A value longer than 65532 bytes is cut there.
void AppendElement(std::vector<std::uint8_t>& area, std::uint8_t id, std::span<const std::uint8_t> value);
void AppendTextElement(std::vector<std::uint8_t>& area, std::uint8_t id, std::string_view text);

// The value bytes the device reports under an identifier, in the wire form of the value's type:
// module and device name as their characters, MAC address as six bytes, IP address and netmask as
// four bytes in address order. None for an identifier the device does not know.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> DeviceValue(const SimDevice& device, std::uint8_t id);

// The five values of a Discover answer, in the given order of identifiers.
[[nodiscard]] std::vector<std::uint8_t> DiscoveryArea(const SimDevice& device,
                                                      std::span<const std::uint8_t> order);

// The header (signature, command, sequence, total length, control byte 0x10 with the status in the
// low bits, the authenticator, the device's MAC address, byte 34 = 1) followed by the area.
// An area above kMaxArea is cut there.
[[nodiscard]] std::vector<std::uint8_t> BuildAnswer(const AnswerHeader& header,
                                                    std::span<const std::uint8_t> area);

// Writes the total length and the authenticator of an answer whose bytes were changed afterwards.
void SealAnswer(std::vector<std::uint8_t>& answer, std::string_view password);

}  // namespace ndcpsim
