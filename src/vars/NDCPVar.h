#pragma once

#include <cstdint>
#include <memory>
#include <string>

class OvOptionList;
class OvNDCPResponseVarList;

namespace detail {

// One part of a structured variable: a value an answer carries as an element of its own.
struct NDCPResponseVar_s {
    std::int32_t Id = 0;
    std::string Name;
    std::int32_t Type = 0;
    const OvOptionList* Options = nullptr;  // not owned; copies share it
    std::string Value;
};

// One variable of a variable list. Copying it copies its parts deeply and shares Options.
struct NDCPVar_s {
    NDCPVar_s();
    NDCPVar_s(const NDCPVar_s& other);
    NDCPVar_s& operator=(const NDCPVar_s& other);
    NDCPVar_s(NDCPVar_s&&) noexcept;
    NDCPVar_s& operator=(NDCPVar_s&&) noexcept;
    ~NDCPVar_s();

    std::int32_t Id = 0;
    std::string Name;
    std::int32_t Type = 0;
    std::int32_t Access = 0;
    const OvOptionList* Options = nullptr;         // not owned; copies share it
    std::unique_ptr<OvNDCPResponseVarList> Parts;  // owned; none for a variable without parts
    std::string Value;                             // the display text when Options is present
};

}  // namespace detail

// Definition tables: static arrays ended by an entry whose name (or display text) is null.
struct NDCPVarDef {
    std::int32_t id;
    const char* name;
    std::int32_t type;
    std::int32_t access;
    const OvOptionList* options;
    const OvNDCPResponseVarList* parts;
    const char* initialValue;
};

struct NDCPPartDef {
    std::int32_t id;
    const char* name;
    std::int32_t type;
    const OvOptionList* options;
    const char* initialValue;
};

struct OptionDef {
    std::int32_t number;    // the value of a kind-1 list
    const char* valueText;  // the value of a kind-2 or kind-3 list
    const char* displayText;
};
