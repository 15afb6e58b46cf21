#include "device/AddressRules.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "errors/OvException.h"
#include "vars/TextHelpers.h"

namespace {

constexpr std::size_t kAddressParts = 4;
constexpr std::uint32_t kMaxAddressNumber = 255;

// A number from 0 to 255 in decimal digits; leading zeros do not make it octal.
std::uint32_t AddressNumber(std::string_view piece) {
    std::uint32_t value = 0;
    for (const char c : piece) {
        if (c < '0' || c > '9') throw OvException(kAddressNumberOutOfRange);
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > kMaxAddressNumber) throw OvException(kAddressNumberOutOfRange);
    }
    return value;
}

}  // namespace

std::uint32_t CheckedAddress(std::string_view dotted, AddressKind kind) {
    std::vector<std::string> pieces;
    SplitText(dotted, pieces, '.');
    const bool complete = pieces.size() == kAddressParts &&
                          std::none_of(pieces.begin(), pieces.end(), [](const auto& p) { return p.empty(); });
    if (!complete)
        throw OvException(kind == AddressKind::IpAddress ? kIncompleteIpAddress : kIncompleteNetmask);
    std::uint32_t bits = 0;
    for (const std::string& piece : pieces) bits = bits << 8 | AddressNumber(piece);
    if (kind == AddressKind::Netmask && !IsContiguousMask(bits)) throw OvException(kNetmaskNotContiguous);
    return bits;
}

std::string AddressText(std::uint32_t address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) text += '.';
        text += std::to_string(address >> shift & 0xFF);
    }
    return text;
}

std::string CheckedAddressText(std::string_view dotted, AddressKind kind) {
    return AddressText(CheckedAddress(dotted, kind));
}

bool IsContiguousMask(std::uint32_t mask) noexcept {
    // The complement of such a mask plus one is a power of two, or 0.
    const std::uint32_t hostBits = ~mask;
    return (hostBits & (hostBits + 1)) == 0;
}
