#include "ndcp-sim/SimMalformed.h"

#include <array>
#include <string>
#include <utility>

#include "ndcp-sim/SimRequest.h"

namespace ndcpsim {
namespace {

constexpr std::array<std::pair<MalformedKind, std::string_view>, 14> kKinds = {{
    {MalformedKind::kShort, "short"},
    {MalformedKind::kLong, "long"},
    {MalformedKind::kSignature, "signature"},
    {MalformedKind::kLength, "length"},
    {MalformedKind::kSequence, "sequence"},
    {MalformedKind::kMac, "mac"},
    {MalformedKind::kElementZero, "elem-zero"},
    {MalformedKind::kElementShort, "elem-short"},
    {MalformedKind::kPastEnd, "past-end"},
    {MalformedKind::kHuge, "huge"},
    {MalformedKind::kWidth, "width"},
    {MalformedKind::kQuotes, "quotes"},
    {MalformedKind::kDollar, "dollar"},
    {MalformedKind::kParens, "parens"},
}};

constexpr std::array<MalformedKind, kKinds.size()> kAllKinds = [] {
    std::array<MalformedKind, kKinds.size()> all{};
    for (std::size_t i = 0; i < kKinds.size(); ++i) all[i] = kKinds[i].first;
    return all;
}();

constexpr std::size_t kLongSize = 9000;
constexpr std::uint8_t kFillerId = 200;
constexpr std::size_t kParenDepth = 1000;

[[nodiscard]] std::vector<std::uint8_t> Filler(std::size_t size, std::uint8_t byte) {
    return std::vector<std::uint8_t>(size, byte);
}

// An element header claiming the length, with room reserved for more bytes behind it.
[[nodiscard]] std::vector<std::uint8_t> ElementHeader(std::uint8_t id, std::uint16_t length,
                                                      std::size_t more) {
    std::vector<std::uint8_t> header;
    header.reserve(kElementHeaderSize + more);
    header.push_back(id);
    header.push_back(static_cast<std::uint8_t>(length >> 8));
    header.push_back(static_cast<std::uint8_t>(length & 0xFF));
    return header;
}

// A genuine answer with an element of the given identifier and filler put behind it, so that the
// datagram is exactly size bytes (or as small as it gets).
[[nodiscard]] std::vector<std::uint8_t> PaddedTo(const AnswerHeader& header, std::vector<std::uint8_t> area,
                                                 std::uint8_t id, std::size_t size) {
    const std::size_t used = kHeaderSize + area.size() + kElementHeaderSize;
    AppendElement(area, id, Filler(size > used ? size - used : 0, 'N'));
    return BuildAnswer(header, area);
}

[[nodiscard]] std::vector<std::uint8_t> WithModuleName(const AnswerHeader& header, const SimDevice& device,
                                                       std::string moduleName) {
    SimDevice changed = device;
    changed.model = std::move(moduleName);
    return BuildAnswer(header, DiscoveryArea(changed, kDiscoveryPartIds));
}

[[nodiscard]] std::vector<std::uint8_t> WrongWidths(const AnswerHeader& header, const SimDevice& device) {
    std::vector<std::uint8_t> area;
    AppendTextElement(area, kModuleNameId, device.model);
    AppendTextElement(area, kDeviceNameId, device.name);
    AppendElement(area, kMacAddressId, std::span(device.mac).first(5));
    AppendElement(area, kIpAddressId, std::span(device.ip).first(3));
    AppendElement(area, kNetmaskId, Filler(8, 0xFF));
    return BuildAnswer(header, area);
}

[[nodiscard]] std::vector<std::uint8_t> HugeName(const AnswerHeader& header, const SimDevice& device) {
    std::vector<std::uint8_t> area;
    AppendTextElement(area, kModuleNameId, device.model);
    for (const std::uint8_t id : {kMacAddressId, kIpAddressId, kNetmaskId})
        AppendElement(area, id, *DeviceValue(device, id));
    return PaddedTo(header, std::move(area), kDeviceNameId, kMaxAnswerSize);
}

[[nodiscard]] std::vector<std::uint8_t> PastEnd(const AnswerHeader& header, const SimDevice& device) {
    const std::string_view present = std::string_view(device.model).substr(0, 8);
    std::vector<std::uint8_t> area = ElementHeader(kModuleNameId, 0xFFFF, present.size());
    area.insert(area.end(), present.begin(), present.end());
    return BuildAnswer(header, area);
}

[[nodiscard]] std::vector<std::uint8_t> BadElementFirst(const AnswerHeader& header,
                                                        std::span<const std::uint8_t> genuine,
                                                        std::uint8_t length) {
    std::vector<std::uint8_t> area = ElementHeader(7, length, genuine.size() - kHeaderSize);
    area.insert(area.end(), genuine.begin() + kHeaderSize, genuine.end());
    return BuildAnswer(header, area);
}

[[nodiscard]] std::vector<std::uint8_t> WithHeader(AnswerHeader header,
                                                   std::span<const std::uint8_t> genuine) {
    return BuildAnswer(header, genuine.subspan(kHeaderSize));
}

[[nodiscard]] std::vector<std::uint8_t> WrongLength(const AnswerHeader& header,
                                                    std::span<const std::uint8_t> genuine) {
    std::vector<std::uint8_t> answer(genuine.begin(), genuine.end());
    SealAnswer(answer, header.password);
    const std::size_t claimed = answer.size() + 1;
    answer[kOffsetTotalLength] = static_cast<std::uint8_t>(claimed >> 8);
    answer[kOffsetTotalLength + 1] = static_cast<std::uint8_t>(claimed & 0xFF);
    return answer;
}

[[nodiscard]] std::vector<std::uint8_t> WrongSignature(const AnswerHeader& header,
                                                       std::span<const std::uint8_t> genuine) {
    std::vector<std::uint8_t> answer(genuine.begin(), genuine.end());
    answer[kSignature.size() - 1] ^= 0x01;
    SealAnswer(answer, header.password);
    return answer;
}

}  // namespace

std::span<const MalformedKind> AllMalformedKinds() noexcept { return kAllKinds; }

std::string_view MalformedKindName(MalformedKind kind) noexcept {
    for (const auto& [candidate, name] : kKinds) {
        if (candidate == kind) return name;
    }
    return "unknown";
}

std::optional<MalformedKind> MalformedKindFromName(std::string_view name) noexcept {
    for (const auto& [kind, candidate] : kKinds) {
        if (candidate == name) return kind;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> BuildMalformed(MalformedKind kind, const AnswerHeader& header,
                                         const SimDevice& device, std::span<const std::uint8_t> genuine) {
    switch (kind) {
        case MalformedKind::kShort:
            return {genuine.begin(), genuine.begin() + kHeaderSize - 1};
        case MalformedKind::kLong:
            return PaddedTo(header, {genuine.begin() + kHeaderSize, genuine.end()}, kFillerId, kLongSize);
        case MalformedKind::kSignature:
            return WrongSignature(header, genuine);
        case MalformedKind::kLength:
            return WrongLength(header, genuine);
        case MalformedKind::kSequence: {
            AnswerHeader changed = header;
            changed.sequence ^= 0x80;
            return WithHeader(changed, genuine);
        }
        case MalformedKind::kMac: {
            AnswerHeader changed = header;
            changed.mac.back() ^= 0xFF;
            return WithHeader(changed, genuine);
        }
        case MalformedKind::kElementZero:
            return BadElementFirst(header, genuine, 0);
        case MalformedKind::kElementShort:
            return BadElementFirst(header, genuine, 2);
        case MalformedKind::kPastEnd:
            return PastEnd(header, device);
        case MalformedKind::kHuge:
            return HugeName(header, device);
        case MalformedKind::kWidth:
            return WrongWidths(header, device);
        case MalformedKind::kQuotes:
            return WithModuleName(header, device, "\"" + device.model + "\"");
        case MalformedKind::kDollar:
            return WithModuleName(header, device, "$0.0=" + device.model);
        case MalformedKind::kParens:
            return WithModuleName(
                header, device, std::string(kParenDepth, '(') + device.model + std::string(kParenDepth, ')'));
    }
    return {genuine.begin(), genuine.end()};
}

}  // namespace ndcpsim
