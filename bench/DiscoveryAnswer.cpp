#include "DiscoveryAnswer.h"

#include <algorithm>
#include <stdexcept>

#include "device/DeviceProfile.h"
#include "vars/ValueCodec.h"
#include "vars/VarTypes.h"

std::vector<std::uint8_t> BuildDiscoveryAnswer(std::uint8_t sequence, const MacBytes& mac,
                                               const std::string& model, const std::string& name,
                                               const std::string& ip, const std::string& netmask) {
    std::vector<std::uint8_t> datagram(kReceiveBufferSize, 0);
    std::copy(kNDCPSignature.begin(), kNDCPSignature.end(), datagram.begin());
    datagram[kOffsetCommand] = kDiscoverCommand;
    datagram[kOffsetSequence] = sequence;
    datagram[kOffsetControl] = 0x10;
    std::copy(mac.begin(), mac.end(), datagram.begin() + kOffsetTargetMac);
    datagram[kOffsetFixedByte] = 1;
    const struct {
        std::uint8_t id;
        std::uint8_t type;
        std::string text;
    } elements[] = {{kModuleNameId, kDisplayStr, model},
                    {kDeviceNameId, kDisplayStr, name},
                    {kMacAddressId, kMacAddress, MacBytesToText(mac)},
                    {kIpAddressId, kIpAddress, ip},
                    {kNetmaskId, kIpAddress, netmask}};
    std::size_t size = kNDCPHeaderSize;
    for (const auto& element : elements) {
        const int written = EncodeElement(element.id, element.type, element.text,
                                          std::span<std::uint8_t>(datagram).subspan(size));
        if (written < 0) throw std::runtime_error("a discovery element does not encode");
        size += static_cast<std::size_t>(written);
    }
    datagram.resize(size);
    datagram[kOffsetTotalLength] = static_cast<std::uint8_t>(size >> 8);
    datagram[kOffsetTotalLength + 1] = static_cast<std::uint8_t>(size & 0xFF);
    return datagram;
}
