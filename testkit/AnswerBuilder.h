#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ndcp/wire/NDCPPacket.h"

// Builds answer datagrams as a device would send them, for tests.
struct TestElement {
    std::uint8_t id;
    std::uint8_t type;
    std::string valueText;
};

// The element as a device encodes it: identifier, length and value; raises std::runtime_error
// when the value text does not encode.
[[nodiscard]] std::vector<std::uint8_t> EncodedElement(const TestElement& element);

// An answer's header around a variable area taken as it is: signature, sequence, the control byte
// as given (the status in its low four bits), the MAC address and the total length.
[[nodiscard]] std::vector<std::uint8_t> FrameAnswer(std::uint8_t sequence, std::uint8_t control,
                                                    const MacBytes& mac,
                                                    const std::vector<std::uint8_t>& area);

// An answer with the status and the elements, control flags 0x10.
[[nodiscard]] std::vector<std::uint8_t> BuildAnswer(std::uint8_t sequence, std::uint8_t status,
                                                    const MacBytes& mac,
                                                    const std::vector<TestElement>& elements);

// The five discovery elements of one device.
[[nodiscard]] std::vector<TestElement> DiscoveryElements(const std::string& model, const std::string& name,
                                                         const std::string& macText, const std::string& ip,
                                                         const std::string& netmask);

// One device's answer to a Discover, status 0, as a device sends it: the command echoed, the fixed
// byte set and the five discovery elements, the MAC address among them.
[[nodiscard]] std::vector<std::uint8_t> BuildDiscoveryAnswer(std::uint8_t sequence, const MacBytes& mac,
                                                             const std::string& model,
                                                             const std::string& name, const std::string& ip,
                                                             const std::string& netmask);
