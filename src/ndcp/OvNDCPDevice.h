#pragma once

#include <string>

#include "ndcp/wire/NetworkAdapter.h"

// A device as requests see it: the MAC address text requests are sent to, the password text
// that authenticates them, and the adapter it was heard on: a request to it leaves through that
// adapter alone, or through every adapter when none is known.
struct OvNDCPDevice {
    std::string MacAddress;
    std::string Password;
    NetworkAdapter Adapter{};
};

// The library-wide default that every new request copies.
[[nodiscard]] OvNDCPDevice& DefaultDevice();
