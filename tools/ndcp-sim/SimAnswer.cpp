#include "ndcp-sim/SimAnswer.h"

#include <algorithm>

#include "ndcp-sim/SimAuthenticator.h"
#include "ndcp-sim/SimRequest.h"

namespace ndcpsim {

void AppendElement(std::vector<std::uint8_t>& area, std::uint8_t id, std::span<const std::uint8_t> value) {
    const std::size_t width = std::min(value.size(), kMaxElementValue);
    const std::size_t length = width + kElementHeaderSize;
    area.push_back(id);
    area.push_back(static_cast<std::uint8_t>(length >> 8));
    area.push_back(static_cast<std::uint8_t>(length & 0xFF));
    area.insert(area.end(), value.begin(), value.begin() + static_cast<std::ptrdiff_t>(width));
}

void AppendTextElement(std::vector<std::uint8_t>& area, std::uint8_t id, std::string_view text) {
    AppendElement(area, id, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

std::optional<std::vector<std::uint8_t>> DeviceValue(const SimDevice& device, std::uint8_t id) {
    switch (id) {
        case kModuleNameId:
            return std::vector<std::uint8_t>(device.model.begin(), device.model.end());
        case kDeviceNameId:
            return std::vector<std::uint8_t>(device.name.begin(), device.name.end());
        case kMacAddressId:
            return std::vector<std::uint8_t>(device.mac.begin(), device.mac.end());
        case kIpAddressId:
            return std::vector<std::uint8_t>(device.ip.begin(), device.ip.end());
        case kNetmaskId:
            return std::vector<std::uint8_t>(device.netmask.begin(), device.netmask.end());
        default:
            return std::nullopt;
    }
}

std::vector<std::uint8_t> DiscoveryArea(const SimDevice& device, std::span<const std::uint8_t> order) {
    std::vector<std::uint8_t> area;
    for (const std::uint8_t id : order) {
        if (const auto value = DeviceValue(device, id)) AppendElement(area, id, *value);
    }
    return area;
}

std::vector<std::uint8_t> BuildAnswer(const AnswerHeader& header, std::span<const std::uint8_t> area) {
    const std::size_t width = std::min(area.size(), kMaxArea);
    std::vector<std::uint8_t> answer(kHeaderSize, 0);
    std::copy(kSignature.begin(), kSignature.end(), answer.begin());
    answer[kOffsetCommand] = header.command;
    answer[kOffsetSequence] = header.sequence;
    answer[kOffsetControl] = static_cast<std::uint8_t>(0x10 | (header.status & 0x0F));
    std::copy(header.mac.begin(), header.mac.end(), answer.begin() + kOffsetTargetMac);
    answer[kOffsetFixedByte] = 1;
    answer.insert(answer.end(), area.begin(), area.begin() + static_cast<std::ptrdiff_t>(width));
    SealAnswer(answer, header.password);
    return answer;
}

void SealAnswer(std::vector<std::uint8_t>& answer, std::string_view password) {
    const std::size_t size = std::min<std::size_t>(answer.size(), 0xFFFF);
    answer[kOffsetTotalLength] = static_cast<std::uint8_t>(size >> 8);
    answer[kOffsetTotalLength + 1] = static_cast<std::uint8_t>(size & 0xFF);
    const Authenticator digest = ComputeAuthenticator(answer, password);
    std::copy(digest.begin(), digest.end(), answer.begin() + kOffsetAuthenticator);
}

}  // namespace ndcpsim
