#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vars/NDCPVar.h"
#include "vars/OvNDCPResponseVarList.h"
#include "vars/VarTypes.h"

class OvNDCPVarList;

// The one model of device this utility configures: how its devices are found, what they report,
// and the variables of the two requests the application sends them.

// The model whose devices are listed, the filter that keeps only them, the discovery list's name.
inline constexpr std::string_view kModelName = "KVX-770B";
inline constexpr std::string_view kDiscoveryFilter = "$0.0=KVX-770B";
static_assert(kDiscoveryFilter.substr(5) == kModelName, "the filter names the model");
inline constexpr std::string_view kDiscoveryListName = "Discovery Table";
// The target and password every discovery uses: all six bytes 0xFF, and the default password.
inline constexpr std::string_view kBroadcastMac = "FFFFFFFFFFFF";
inline constexpr std::string_view kDefaultPassword = "kestu";
// The UDP port the devices listen on and answer from.
inline constexpr std::uint16_t kDevicePort = 64512;
// Time-outs in units of 10 ms.
inline constexpr int kDiscoveryTimeout = 300;
inline constexpr int kSetIPTimeout = 100;
// The search for a device after a Set IP, by its MAC address: about a second.
inline constexpr int kFindAgainTimeout = 100;

// Identifiers of the values a device reports.
inline constexpr std::uint8_t kModuleNameId = 1;
inline constexpr std::uint8_t kMacAddressId = 2;
inline constexpr std::uint8_t kIpAddressId = 3;
inline constexpr std::uint8_t kNetmaskId = 4;
inline constexpr std::uint8_t kDeviceNameId = 6;

// The five parts of the discovery variable, in the order a device's answer carries them.
inline constexpr NDCPPartDef kDiscoveryPartDefs[] = {
    {kModuleNameId, "Module Name", kDisplayStr, nullptr, nullptr},
    {kDeviceNameId, "Device Name", kDisplayStr, nullptr, nullptr},
    {kMacAddressId, "Mac Address", kMacAddress, nullptr, nullptr},
    {kIpAddressId, "IP Address", kIpAddress, nullptr, nullptr},
    {kNetmaskId, "Netmask", kIpAddress, nullptr, nullptr},
    {0, nullptr, 0, nullptr, nullptr},
};

// The identifiers of kDiscoveryPartDefs, in its order.
inline constexpr std::array<std::uint8_t, std::size(kDiscoveryPartDefs) - 1> kDiscoveryPartIds = [] {
    std::array<std::uint8_t, std::size(kDiscoveryPartDefs) - 1> ids{};
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<std::uint8_t>(kDiscoveryPartDefs[i].id);
    return ids;
}();

// The two variables a Set IP request carries.
inline constexpr NDCPVarDef kSetIPVarDefs[] = {
    {kIpAddressId, "IP Address", kIpAddress, kReadable | kWritable, nullptr, nullptr, nullptr},
    {kNetmaskId, "Netmask", kIpAddress, kReadable | kWritable, nullptr, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};

// The part list built from kDiscoveryPartDefs on first use; it lives until the program ends.
[[nodiscard]] const OvNDCPResponseVarList& DiscoveryParts();

// The one discovery variable "Discovery", readable only, whose parts are DiscoveryParts().
[[nodiscard]] const NDCPVarDef* DiscoveryVarDefs();

// Makes vars the discovery request's list: the discovery variable alone, named kDiscoveryListName.
void SetDiscoveryVars(OvNDCPVarList& vars);
