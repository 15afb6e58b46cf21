#pragma once

#include "vars/NDCPVar.h"

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

// Every value text of a list, parts included, in order.
[[nodiscard]] std::vector<std::string> ValuesOf(const OvNDCPVarList& list);
