#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The limited broadcast: the destination of every request the program sends.
inline constexpr std::string_view kLimitedBroadcast = "255.255.255.255";

// Where requests go and which answers are taken: the broadcast address and the devices' port.
// Tests, benchmarks and the simulator point it at loopback and a free port.
struct NDCPNetworkSetting {
    std::string destinationAddress{kLimitedBroadcast};
    std::uint16_t destinationPort = 64512;
    std::uint16_t answerSourcePort = 64512;
    std::string localAddress = "0.0.0.0";  // the client's socket binds here, with a system-chosen port
};

// The process-wide setting; the application always keeps the defaults.
[[nodiscard]] NDCPNetworkSetting& NetworkSetting();
