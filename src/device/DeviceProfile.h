#pragma once

#include <string_view>

#include "NDCPVar.h"
#include "OvNDCPResponseVarList.h"
#include "VarTypes.h"

// The variables of the two requests the application sends.

// The model whose devices are listed, the filter that keeps only them, the discovery list's name.
inline constexpr std::string_view kModelName = "KVX-770B";
inline constexpr std::string_view kDiscoveryFilter = "$0.0=KVX-770B";
inline constexpr std::string_view kDiscoveryListName = "Discovery Table";
// The target and password every discovery uses: all six bytes 0xFF, and the default password.
inline constexpr std::string_view kBroadcastMac = "FFFFFFFFFFFF";
inline constexpr std::string_view kDefaultPassword = "kestu";
// Time-outs in units of 10 ms.
inline constexpr int kDiscoveryTimeout = 300;
inline constexpr int kSetIPTimeout = 100;

// The five parts of the discovery variable, as each answer carries them.
inline constexpr NDCPPartDef kDiscoveryPartDefs[] = {
    {1, "Module Name", kDisplayStr, nullptr, nullptr}, {6, "Device Name", kDisplayStr, nullptr, nullptr},
    {2, "Mac Address", kMacAddress, nullptr, nullptr}, {3, "IP Address", kIpAddress, nullptr, nullptr},
    {4, "Netmask", kIpAddress, nullptr, nullptr},      {0, nullptr, 0, nullptr, nullptr},
};

// The two variables a Set IP request carries.
inline constexpr NDCPVarDef SetIPVarDefs[] = {
    {3, "IP Address", kIpAddress, kReadable | kWritable, nullptr, nullptr, nullptr},
    {4, "Netmask", kIpAddress, kReadable | kWritable, nullptr, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};

// The part list built from kDiscoveryPartDefs on first use; it lives until the program ends.
[[nodiscard]] const OvNDCPResponseVarList& DiscoveryParts();

// The one discovery variable "Discovery", readable only, whose parts are DiscoveryParts().
[[nodiscard]] const NDCPVarDef* DiscoveryVarDefs();
