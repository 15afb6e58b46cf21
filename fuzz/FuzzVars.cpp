#include "FuzzVars.h"

#include "vars/OvNDCPResponseVarList.h"
#include "vars/OvNDCPVarList.h"
#include "vars/OvOptionList.h"
#include "vars/VarTypes.h"

namespace {

constexpr OptionDef kNumberOptions[] = {
    {1, nullptr, "On"}, {0, nullptr, "Off"}, {-7, nullptr, "Minus"}, {0, nullptr, nullptr}};
constexpr OptionDef kTextOptions[] = {
    {0, "a", "Alpha"}, {0, "b", "Beta"}, {0, "", "Nothing"}, {0, nullptr, nullptr}};
constexpr OptionDef kPrefixOptions[] = {
    {0, "01", "Disk "}, {0, "02", "USB "}, {0, "0", "Zero"}, {0, nullptr, nullptr}};

}  // namespace

std::int32_t TypeFromByte(std::uint8_t byte) noexcept {
    if (byte < 216) return byte % 18;
    if (byte == 254) return 256 + kUInt8;
    if (byte == 255) return -1;
    return byte;
}

const OvOptionList* OptionsFromByte(std::uint8_t byte) {
    static const OvOptionList numbers(kNumberOptions, OvOptionList::kNumbers, false);
    static const OvOptionList texts(kTextOptions, OvOptionList::kTexts, true);
    static const OvOptionList prefixes(kPrefixOptions, OvOptionList::kPrefixes, false);
    switch (byte % 4) {
        case 1:
            return &numbers;
        case 2:
            return &texts;
        case 3:
            return &prefixes;
        default:
            return nullptr;
    }
}

void AppendVars(OvNDCPVarList& list, const std::vector<FuzzVar>& vars) {
    std::vector<NDCPVarDef> defs;
    defs.reserve(vars.size() + 1);
    for (const FuzzVar& var : vars) {
        defs.push_back({var.id, "var", var.type, var.access, var.options, var.parts, nullptr});
    }
    defs.push_back({0, nullptr, 0, 0, nullptr, nullptr, nullptr});
    const int first = list.Count();
    list.AddDefinitions(defs.data());
    // Set afterwards: a value text may hold zero bytes, which a definition's C text cannot.
    for (std::size_t i = 0; i < vars.size(); ++i) list.Var(first + static_cast<int>(i)).Value = vars[i].value;
}

std::vector<std::string> ValuesOf(const OvNDCPVarList& list) {
    std::vector<std::string> values;
    for (int i = 0; i < list.Count(); ++i) {
        const detail::NDCPVar_s& var = list.Var(i);
        values.push_back(var.Value);
        if (!var.Parts) continue;
        for (int p = 0; p < var.Parts->Count(); ++p) values.push_back(var.Parts->Part(p).Value);
    }
    return values;
}
