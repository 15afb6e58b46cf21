#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "device/DeviceProfile.h"
#include "ndcp-sim/SimAddress.h"

namespace ndcpsim {

// Every device also accepts the utility's default password (kDefaultPassword) for Discover and Get.
// The devices are of the model kModelName unless told otherwise.
inline constexpr std::string_view kDefaultOtherModel = "KVX-550A";
inline constexpr std::string_view kDefaultAccessPassword = "admin";

// One simulated device: what it reports and the password it accepts for a Set.
struct SimDevice {
    std::string name;
    std::string model;
    MacAddress mac{};
    Ipv4Address ip{};
    Ipv4Address netmask{};
    // The access password as the user types it, and as the utility sends it: the key-encrypted
    // upper-case hexadecimal text that authenticates a Set.
    std::string accessPassword;
    std::string encryptedPassword;
};

// A device with its encrypted password worked out from the plain one.
[[nodiscard]] SimDevice MakeDevice(std::string name, std::string model, const MacAddress& mac,
                                   const Ipv4Address& ip, const Ipv4Address& netmask,
                                   std::string accessPassword);

// The index-th (1-based) device of a derived set: "Storage-<index>", MAC 00:11:22:33:44:00 plus
// index, IP 192.168.0.100 plus index, netmask 255.255.255.0.
[[nodiscard]] SimDevice DerivedDevice(std::size_t index, std::string model, std::string accessPassword);

}  // namespace ndcpsim
