#pragma once

#include "NDCPVar.h"
#include "VarTypes.h"

// The variable tables the tests share: the five parts of a discovery answer, and the two
// addresses a Set carries.
inline constexpr NDCPPartDef kDiscoveryPartDefs[] = {
    {1, "Module Name", kDisplayStr, nullptr, nullptr},
    {6, "Device Name", kDisplayStr, nullptr, nullptr},
    {2, "Mac Address", kMacAddress, nullptr, nullptr},
    {3, "IP Address", kIpAddress, nullptr, nullptr},
    {4, "Netmask", kIpAddress, nullptr, nullptr},
    {0, nullptr, 0, nullptr, nullptr},
};

inline constexpr NDCPVarDef kSetIpVarDefs[] = {
    {3, "IP Address", kIpAddress, kReadable | kWritable, nullptr, nullptr, nullptr},
    {4, "Netmask", kIpAddress, kReadable | kWritable, nullptr, nullptr, nullptr},
    {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
};
