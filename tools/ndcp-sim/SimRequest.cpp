#include "ndcp-sim/SimRequest.h"

#include <algorithm>

namespace ndcpsim {
namespace {

[[nodiscard]] SimRequest ReadHeader(std::span<const std::uint8_t> datagram) {
    SimRequest request;
    request.command = datagram[kOffsetCommand];
    request.sequence = datagram[kOffsetSequence];
    request.totalLength = ReadBigEndian16(datagram, kOffsetTotalLength);
    request.reserved = ReadBigEndian16(datagram, kOffsetReserved);
    request.control = datagram[kOffsetControl];
    request.reserved11 = datagram[kOffsetReserved11];
    std::copy_n(datagram.begin() + kOffsetAuthenticator, kAuthenticatorSize, request.authenticator.begin());
    std::copy_n(datagram.begin() + kOffsetTargetMac, request.target.size(), request.target.begin());
    request.fixedByte = datagram[kOffsetFixedByte];
    request.reserved35 = datagram[kOffsetReserved35];
    return request;
}

// Splits the variable area into elements; stops at the first element that does not fit.
[[nodiscard]] RequestError ReadElements(std::span<const std::uint8_t> area,
                                        std::vector<SimElement>& elements) {
    std::size_t pos = 0;
    while (pos < area.size()) {
        if (area.size() - pos < kElementHeaderSize) return RequestError::kElementHeader;
        const std::uint16_t length = ReadBigEndian16(area, pos + 1);
        if (length < kElementHeaderSize) return RequestError::kElementLength;
        if (area.size() - pos < length) return RequestError::kElementValue;
        elements.push_back(
            {area[pos], length, area.subspan(pos + kElementHeaderSize, length - kElementHeaderSize)});
        pos += length;
    }
    return RequestError::kNone;
}

}  // namespace

std::string_view RequestErrorName(RequestError error) noexcept {
    switch (error) {
        case RequestError::kNone:
            return "none";
        case RequestError::kShort:
            return "short";
        case RequestError::kSignature:
            return "signature";
        case RequestError::kTotalLength:
            return "total-length";
        case RequestError::kElementHeader:
            return "element-header";
        case RequestError::kElementLength:
            return "element-length";
        case RequestError::kElementValue:
            return "element-value";
    }
    return "unknown";
}

std::uint16_t ReadBigEndian16(std::span<const std::uint8_t> bytes, std::size_t offset) noexcept {
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

ParsedRequest ParseRequest(std::span<const std::uint8_t> datagram) {
    ParsedRequest parsed;
    if (datagram.size() < kHeaderSize) {
        parsed.error = RequestError::kShort;
        return parsed;
    }
    parsed.request = ReadHeader(datagram);
    if (!std::equal(kSignature.begin(), kSignature.end(), datagram.begin())) {
        parsed.error = RequestError::kSignature;
    } else if (parsed.request.totalLength != datagram.size()) {
        parsed.error = RequestError::kTotalLength;
    } else {
        parsed.error = ReadElements(datagram.subspan(kHeaderSize), parsed.request.elements);
    }
    if (parsed.error != RequestError::kNone) parsed.request.elements.clear();
    return parsed;
}

}  // namespace ndcpsim
