#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "ndcp-sim/SimAnswer.h"
#include "ndcp-sim/SimDevice.h"

namespace ndcpsim {

// Datagrams a misbehaving device sends ahead of its genuine answer. The utility's answer checks
// drop the first five, and kMac in answer to a Get or Set (a Discover answer is taken from any
// MAC address); the others pass the checks and try the decoding and the filter.
enum class MalformedKind {
    kShort,         // 35 bytes
    kLong,          // 9000 bytes with a matching total length, more than the utility receives
    kSignature,     // last signature byte changed
    kLength,        // total length one more than the size
    kSequence,      // sequence byte of no pending request (top bit flipped)
    kMac,           // MAC address bytes of another device
    kElementZero,   // an element of length 0 ahead of the genuine ones
    kElementShort,  // an element of length 2 ahead of the genuine ones
    kPastEnd,       // a module name element claiming 65532 value bytes, with 8 present
    kHuge,          // a device name that makes the answer exactly 8912 bytes
    kWidth,         // MAC address of 5 bytes, IP address of 3, netmask of 8
    kQuotes,        // module name in double quotes
    kDollar,        // module name "$0.0=" followed by the model
    kParens,        // module name inside 1000 levels of parentheses
};

[[nodiscard]] std::span<const MalformedKind> AllMalformedKinds() noexcept;
[[nodiscard]] std::string_view MalformedKindName(MalformedKind kind) noexcept;
[[nodiscard]] std::optional<MalformedKind> MalformedKindFromName(std::string_view name) noexcept;

// The malformed variant of the genuine answer that header and genuine (built from header) make.
[[nodiscard]] std::vector<std::uint8_t> BuildMalformed(MalformedKind kind, const AnswerHeader& header,
                                                       const SimDevice& device,
                                                       std::span<const std::uint8_t> genuine);

}  // namespace ndcpsim
