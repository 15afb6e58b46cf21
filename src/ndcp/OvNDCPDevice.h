#pragma once

#include <string>

// A device as requests see it: the MAC address text requests are sent to and the password text
// that authenticates them.
struct OvNDCPDevice {
    std::string MacAddress;
    std::string Password;
};

// The library-wide default that every new request copies.
[[nodiscard]] OvNDCPDevice& DefaultDevice();
