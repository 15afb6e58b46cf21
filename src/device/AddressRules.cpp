#include "device/AddressRules.h"

#include <algorithm>
#include <bit>
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

// The first of the four numbers that is missing (incomplete) or not a number from 0 to 255, as a
// refusal of the field firstField + its position; none when all four are numbers.
std::optional<AddressRefusal> NumberRefusal(std::string_view dotted, AddressKind kind, int firstField) {
    std::vector<std::string> pieces;
    SplitText(dotted, pieces, '.');
    const char* const incomplete = kind == AddressKind::IpAddress ? kIncompleteIpAddress : kIncompleteNetmask;
    for (std::size_t i = 0; i < kAddressParts; ++i) {
        const int field = firstField + static_cast<int>(i);
        if (i >= pieces.size() || pieces[i].empty()) return AddressRefusal{incomplete, field};
    }
    if (pieces.size() > kAddressParts) return AddressRefusal{incomplete, firstField + 3};
    for (std::size_t i = 0; i < kAddressParts; ++i) {
        if (!AddressNumber(pieces[i]))
            return AddressRefusal{kAddressNumberOutOfRange, firstField + static_cast<int>(i)};
    }
    return std::nullopt;
}

// An address no device can hold, whatever its netmask, by its first number.
const char* FirstNumberRefusal(std::uint32_t address) {
    const std::uint32_t first = address >> 24;
    if (first == 0) return kAddressBeginsWithZero;
    if (first == 127) return kAddressIsLoopback;
    if (first >= 224) return kAddressIsMulticastOrReserved;
    return nullptr;
}

// The netmask field that holds the first one bit after a zero bit.
int FirstStrayOneField(std::uint32_t mask) {
    const auto leadingOnes = static_cast<int>(std::countl_one(mask));
    const std::uint32_t afterRun = leadingOnes >= 32 ? 0 : mask << leadingOnes;
    const int strayBit = leadingOnes + static_cast<int>(std::countl_zero(afterRun));
    return kNetmaskFirstField + strayBit / 8;
}

std::optional<AddressRefusal> MaskRefusal(std::uint32_t mask) {
    if (!IsContiguousMask(mask)) return AddressRefusal{kNetmaskNotContiguous, FirstStrayOneField(mask)};
    if (mask == 0) return AddressRefusal{kNetmaskAllZeros, kNetmaskFirstField};
    if (mask == 0xFFFFFFFFU) return AddressRefusal{kNetmaskAllOnes, kNetmaskFirstField + 3};
    return std::nullopt;
}

// The address as the network's own address or its broadcast address under the mask.
std::optional<AddressRefusal> HostPartRefusal(std::uint32_t address, std::uint32_t mask) {
    const std::uint32_t hostBits = ~mask;
    const std::uint32_t host = address & hostBits;
    if (host != 0 && host != hostBits) return std::nullopt;
    const auto prefix = static_cast<int>(std::countl_one(mask));
    const std::string network = Ipv4Text(address & mask) + "/" + std::to_string(prefix);
    const std::string what = host == 0 ? " is the address of the network " + network + " itself"
                                       : " is the broadcast address of the network " + network;
    const std::string message =
        Ipv4Text(address) + what + " (under the netmask " + Ipv4Text(mask) + "), not one a device can use!";
    // The first field that holds a bit of the host part.
    return AddressRefusal{message, prefix / 8};
}

}  // namespace

std::optional<AddressRefusal> SetIPRefusal(std::string_view address, std::string_view netmask) {
    if (auto refusal = NumberRefusal(address, AddressKind::IpAddress, 0)) return refusal;
    const std::uint32_t addressBits = *ParsedAddress(address);
    if (const char* const refusal = FirstNumberRefusal(addressBits)) return AddressRefusal{refusal, 0};
    if (auto refusal = NumberRefusal(netmask, AddressKind::Netmask, kNetmaskFirstField)) return refusal;
    const std::uint32_t maskBits = *ParsedAddress(netmask);
    if (auto refusal = MaskRefusal(maskBits)) return refusal;
    return HostPartRefusal(addressBits, maskBits);
}

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
    if (const auto refusal = NumberRefusal(dotted, kind, 0)) throw OvException(refusal->message);
    const std::uint32_t bits = *ParsedAddress(dotted);
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
