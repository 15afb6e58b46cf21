#include "testkit/AnswerBuilder.h"

#include <algorithm>
#include <stdexcept>

#include "device/DeviceProfile.h"
#include "vars/ValueCodec.h"
#include "vars/VarTypes.h"

std::vector<std::uint8_t> BuildAnswer(std::uint8_t sequence, std::uint8_t status, const MacBytes& mac,
                                      const std::vector<TestElement>& elements) {
    std::vector<std::uint8_t> datagram(kReceiveBufferSize, 0);
    std::copy(kNDCPSignature.begin(), kNDCPSignature.end(), datagram.begin());
    datagram[kOffsetCommand] = 0;
    datagram[kOffsetSequence] = sequence;
    datagram[kOffsetControl] = static_cast<std::uint8_t>(0x10 | (status & 0x0F));
    std::copy(mac.begin(), mac.end(), datagram.begin() + kOffsetTargetMac);
    std::size_t size = kNDCPHeaderSize;
    for (const TestElement& element : elements) {
        const int written = EncodeElement(element.id, element.type, element.valueText,
                                          std::span<std::uint8_t>(datagram).subspan(size));
        if (written < 0) throw std::runtime_error("test element does not encode");
        size += static_cast<std::size_t>(written);
    }
    datagram.resize(size);
    datagram[kOffsetTotalLength] = static_cast<std::uint8_t>(size >> 8);
    datagram[kOffsetTotalLength + 1] = static_cast<std::uint8_t>(size & 0xFF);
    return datagram;
}

std::vector<TestElement> DiscoveryElements(const std::string& model, const std::string& name,
                                           const std::string& macText, const std::string& ip,
                                           const std::string& netmask) {
    return {{kModuleNameId, kDisplayStr, model},
            {kDeviceNameId, kDisplayStr, name},
            {kMacAddressId, kMacAddress, macText},
            {kIpAddressId, kIpAddress, ip},
            {kNetmaskId, kIpAddress, netmask}};
}

std::vector<std::uint8_t> BuildDiscoveryAnswer(std::uint8_t sequence, const MacBytes& mac,
                                               const std::string& model, const std::string& name,
                                               const std::string& ip, const std::string& netmask) {
    std::vector<std::uint8_t> datagram =
        BuildAnswer(sequence, 0, mac, DiscoveryElements(model, name, MacBytesToText(mac), ip, netmask));
    datagram[kOffsetCommand] = kDiscoverCommand;
    datagram[kOffsetFixedByte] = 1;
    return datagram;
}
