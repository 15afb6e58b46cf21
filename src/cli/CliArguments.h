#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "device/DeviceListWriters.h"
#include "device/DeviceProfile.h"
#include "ndcp/wire/NDCPPacket.h"

// The command line of orvalan-ndcp, read without touching the network.

enum class CliCommand { Help, Version, Discover, Set };

struct DiscoverArguments {
    ListFormat format = ListFormat::Table;
    std::int32_t timeout = kDiscoveryTimeout;  // units of 10 ms
    std::optional<std::string> adapter;        // a system name; none: every adapter
    bool allModels = false;
};

struct SetArguments {
    MacBytes mac{};
    std::string ip;
    std::string netmask;
    std::optional<std::string> passwordFile;  // none: standard input
    bool yes = false;
};

struct CliArguments {
    CliCommand command = CliCommand::Help;
    std::optional<CliCommand> helpFor;  // with Help: the command whose help is asked for
    DiscoverArguments discover;
    SetArguments set;
};

// Reads the arguments that follow the program's name. Options take their value as "--name VALUE" or
// "--name=VALUE". Raises OvException (kUnknownError) with a message that names what is wrong.
[[nodiscard]] CliArguments ParseArguments(std::span<const std::string_view> args);

// The discovery time-out given in seconds ("3", "0.5", "2.25"): from 0.01 to 3600, in units of
// 10 ms, a fraction rounded up. None for any other text.
[[nodiscard]] std::optional<std::int32_t> TimeoutUnits(std::string_view seconds);

// A MAC address as 12 hexadecimal digits, alone or in pairs separated by ":" or "-". None for any
// other text.
[[nodiscard]] std::optional<MacBytes> MacArgument(std::string_view text);
