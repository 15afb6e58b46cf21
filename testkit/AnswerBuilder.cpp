#include "testkit/AnswerBuilder.h"

#include <algorithm>
#include <stdexcept>

#include "device/DeviceProfile.h"
#include "vars/ValueCodec.h"
#include "vars/VarTypes.h"

std::vector<std::uint8_t> EncodedElement(const TestElement& element) {
    std::vector<std::uint8_t> bytes(kReceiveBufferSize);
    const int written = EncodeElement(element.id, element.type, element.valueText, bytes);
    if (written < 0) throw std::runtime_error("test element does not encode");
    bytes.resize(static_cast<std::size_t>(written));
    return bytes;
}

std::vector<std::uint8_t> FrameAnswer(std::uint8_t sequence, std::uint8_t control, const MacBytes& mac,
                                      const std::vector<std::uint8_t>& area) {
    std::vector<std::uint8_t> datagram(kNDCPHeaderSize, 0);
    std::copy(kNDCPSignature.begin(), kNDCPSignature.end(), datagram.begin());
    datagram[kOffsetSequence] = sequence;
    datagram[kOffsetControl] = control;
    std::copy(mac.begin(), mac.end(), datagram.begin() + kOffsetTargetMac);
    datagram.insert(datagram.end(), area.begin(), area.end());
    datagram[kOffsetTotalLength] = static_cast<std::uint8_t>(datagram.size() >> 8);
    datagram[kOffsetTotalLength + 1] = static_cast<std::uint8_t>(datagram.size() & 0xFF);
    return datagram;
}

std::vector<std::uint8_t> BuildAnswer(std::uint8_t sequence, std::uint8_t status, const MacBytes& mac,
                                      const std::vector<TestElement>& elements) {
    std::vector<std::uint8_t> area;
    for (const TestElement& element : elements) {
        const std::vector<std::uint8_t> encoded = EncodedElement(element);
        area.insert(area.end(), encoded.begin(), encoded.end());
    }
    return FrameAnswer(sequence, static_cast<std::uint8_t>(0x10 | (status & 0x0F)), mac, area);
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
