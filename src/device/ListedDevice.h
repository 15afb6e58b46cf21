#pragma once

#include <string>

#include "ndcp/wire/NetworkAdapter.h"

class OvNDCPVarList;

// A device as a discovery lists it: what it reported of itself, and the adapter that heard it.
// The texts are as the device sent them: the names are its bytes up to the first 0x00, in no
// particular character set.
struct ListedDevice {
    std::string module;
    std::string name;
    std::string mac;  // 12 upper-case hexadecimal digits
    std::string ip;
    std::string netmask;
    NetworkAdapter adapter;  // none when not known
};

// The device whose answer was decoded into the discovery variable (SetDiscoveryVars), its parts
// found by identifier; a part the list does not hold gives the empty text.
[[nodiscard]] ListedDevice ListedDeviceFromAnswer(const OvNDCPVarList& vars, const NetworkAdapter& heardOn);
