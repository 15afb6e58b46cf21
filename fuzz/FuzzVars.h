#pragma once

#include "NDCPVar.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class OvNDCPVarList;
class OvOptionList;
class OvNDCPResponseVarList;

// Variable lists and option lists shared by the fuzz targets and their seeds.

// A type code from one input byte: mostly 0 to 17, sometimes a code that is not a type, a stored
// type above 255 whose low byte looks like a real one, or a negative one.
[[nodiscard]] std::int32_t TypeFromByte(std::uint8_t byte) noexcept;

// None, or one of three fixed option lists (numbers, texts, prefixes), by byte % 4.
[[nodiscard]] const OvOptionList* OptionsFromByte(std::uint8_t byte);

// The discovery variable: one readable variable of type 0 whose five parts are the module name
// (id 1), device name (6), MAC address (2), IP address (3) and netmask (4).
[[nodiscard]] const OvNDCPResponseVarList& DiscoveryParts();
inline constexpr const char* kDiscoveryFilter = "$0.0=KVX-770B";

// One variable of a list built by MakeVarList.
struct FuzzVar {
    std::int32_t id = 0;
    std::int32_t type = 0;
    std::int32_t access = 0;
    const OvOptionList* options = nullptr;
    const OvNDCPResponseVarList* parts = nullptr;
    std::string value;
};

// Builds a list through the definition tables, as the program does.
void AppendVars(OvNDCPVarList& list, const std::vector<FuzzVar>& vars);

// Whether the text is the general floating-point form of the doubles closest to the largest one:
// at 15 digits it rounds past the largest double, and the text parser refuses it as too large, so
// such a value read from a device cannot be sent back. A known open fault of the codec; the targets
// let exactly these texts pass until it is mended, so that they keep finding others.
[[nodiscard]] bool IsRoundedPastLargestDouble(std::string_view text);

// Every value text of a list, parts included, in order.
[[nodiscard]] std::vector<std::string> ValuesOf(const OvNDCPVarList& list);
