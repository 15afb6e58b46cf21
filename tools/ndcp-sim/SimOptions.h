#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/DeviceProfile.h"
#include "ndcp-sim/SimAddress.h"
#include "ndcp-sim/SimDevice.h"
#include "ndcp-sim/SimMalformed.h"

namespace ndcpsim {

inline constexpr std::size_t kDefaultDeviceCount = 3;
inline constexpr std::size_t kMaxDevices = 60000;
inline constexpr std::size_t kMaxTextLength = 1024;

// A device given on the command line as NAME,MAC,IP,MASK[,PASSWORD].
struct DeviceEntry {
    std::string name;
    MacAddress mac{};
    Ipv4Address ip{};
    Ipv4Address netmask{};
    std::optional<std::string> password;
};

struct SimOptions {
    bool help = false;
    // Derived devices of the model; when not given, 3 if no --device is given and 0 otherwise.
    std::optional<std::size_t> devices;
    // Number of the first derived device, so that simulators side by side answer as different devices.
    std::size_t firstNumber = 1;
    std::string model{kModelName};
    std::size_t otherModels = 0;
    std::string otherModel{kDefaultOtherModel};
    std::vector<DeviceEntry> deviceEntries;
    std::string password{kDefaultAccessPassword};
    bool twice = false;
    bool shuffle = false;
    std::uint32_t delayMs = 0;
    std::uint32_t jitterMs = 0;
    std::uint32_t burstGapUs = 0;
    std::optional<std::uint8_t> status;
    std::vector<MalformedKind> malformed;
    // Seconds of unsolicited malformed datagrams from the first request read on, at floodRate a second.
    std::optional<double> floodSeconds;
    std::uint32_t floodRate = 5000;
    // Loopback unless told otherwise: on a real network the simulated devices would answer other
    // people's utilities.
    Ipv4Address bind{127, 0, 0, 1};
    // Answers sent to the requester leave from this many addresses, from bind on: device i's from
    // the (i mod sources)-th, as devices answer from addresses of their own.
    std::uint32_t sources = 1;
    std::uint16_t port = kDevicePort;
    std::string logPath;  // empty: standard error
    bool quiet = false;
    bool countAnswers = false;
    std::optional<double> exitAfterSeconds;
    std::uint32_t seed = 1;
    std::uint32_t sendBufferBytes = 8u << 20;
};

// Reads the arguments that follow the program name. Options take their value as "--name VALUE" or
// "--name=VALUE"; --malformed takes one only in the second form. Raises OvException (code 0) with a
// message that names the option and the bad text.
[[nodiscard]] SimOptions ParseOptions(std::span<const std::string_view> args);

// The devices the options describe: the --device ones in order, then the derived ones of the model,
// then those of the other model (derived numbering runs on across both).
[[nodiscard]] std::vector<SimDevice> BuildDevices(const SimOptions& options);

// The text of --help.
[[nodiscard]] std::string HelpText();

}  // namespace ndcpsim
