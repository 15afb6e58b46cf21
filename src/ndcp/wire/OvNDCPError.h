#pragma once

#include <cstdint>
#include <string>

#include "ndcp/wire/NetworkAdapter.h"

// The completion record of one outcome of a pending request.
struct OvNDCPError {
    std::int32_t Code = 0;
    std::string Message = "Ok!";
    std::uint8_t Sequence = 0;
    std::uint8_t Command = 0;
    std::string MacAddress;  // 12 upper-case hexadecimal digits
    std::string Password;
    NetworkAdapter Adapter{};  // the adapter the answer arrived on; none for a time-out or unknown
};
