#include "device/AddressRules.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "errors/OvException.h"
#include "ndcp/wire/NetworkAdapter.h"
#include "vars/TextHelpers.h"

namespace {

constexpr std::size_t kAddressParts = 4;
constexpr std::uint32_t kMaxAddressNumber = 255;

// A number from 0 to 255 in decimal digits (leading zeros do not make it octal), or none.
std::optional<std::uint32_t> AddressNumber(std::string_view piece) {
    std::uint32_t value = 0;
    for (const char c : piece) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > kMaxAddressNumber) return std::nullopt;
    }
    return value;
}

// The four numbers of a dotted address, or none when one is missing.
std::optional<std::vector<std::string>> AddressPieces(std::string_view dotted) {
    std::vector<std::string> pieces;
    SplitText(dotted, pieces, '.');
    const bool complete = pieces.size() == kAddressParts &&
                          std::none_of(pieces.begin(), pieces.end(), [](const auto& p) { return p.empty(); });
    if (!complete) return std::nullopt;
    return pieces;
}

}  // namespace

std::optional<std::uint32_t> ParsedAddress(std::string_view dotted) {
    const auto pieces = AddressPieces(dotted);
    if (!pieces) return std::nullopt;
    std::uint32_t bits = 0;
    for (const std::string& piece : *pieces) {
        const auto number = AddressNumber(piece);
        if (!number) return std::nullopt;
        bits = bits << 8 | *number;
    }
    return bits;
}

std::uint32_t CheckedAddress(std::string_view dotted, AddressKind kind) {
    const auto pieces = AddressPieces(dotted);
    if (!pieces)
        throw OvException(kind == AddressKind::IpAddress ? kIncompleteIpAddress : kIncompleteNetmask);
    std::uint32_t bits = 0;
    for (const std::string& piece : *pieces) {
        const auto number = AddressNumber(piece);
        if (!number) throw OvException(kAddressNumberOutOfRange);
        bits = bits << 8 | *number;
    }
    if (kind == AddressKind::Netmask && !IsContiguousMask(bits)) throw OvException(kNetmaskNotContiguous);
    return bits;
}

std::string AddressText(std::uint32_t address) { return Ipv4Text(address); }

std::string CheckedAddressText(std::string_view dotted, AddressKind kind) {
    return AddressText(CheckedAddress(dotted, kind));
}

bool IsContiguousMask(std::uint32_t mask) noexcept {
    // The complement of such a mask plus one is a power of two, or 0.
    const std::uint32_t hostBits = ~mask;
    return (hostBits & (hostBits + 1)) == 0;
}
