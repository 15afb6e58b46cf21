#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ndcp/wire/NDCPPacket.h"

// One device's answer to a Discover, status 0, as a device sends it.
[[nodiscard]] std::vector<std::uint8_t> BuildDiscoveryAnswer(std::uint8_t sequence, const MacBytes& mac,
                                                             const std::string& model,
                                                             const std::string& name, const std::string& ip,
                                                             const std::string& netmask);
