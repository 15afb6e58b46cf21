#include "ndcp/wire/NetworkAdapter.h"

namespace {

std::uint32_t PrefixMask(int prefixLength) noexcept {
    if (prefixLength <= 0) return 0;
    if (prefixLength >= 32) return 0xFFFFFFFFu;
    return ~(0xFFFFFFFFu >> prefixLength);
}

}  // namespace

bool NetworkAdapter::Contains(std::uint32_t other) const noexcept {
    const std::uint32_t mask = PrefixMask(prefixLength);
    return (other & mask) == (address & mask);
}

std::string NetworkAdapter::NetworkText() const {
    return Ipv4Text(address & PrefixMask(prefixLength)) + "/" + std::to_string(prefixLength);
}

std::string NetworkAdapter::Describe() const { return name + " (" + NetworkText() + ")"; }

std::string Ipv4Text(std::uint32_t address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) text += '.';
        text += std::to_string((address >> shift) & 0xFFu);
    }
    return text;
}
