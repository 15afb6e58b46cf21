#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vars/NDCPVar.h"
#include "vars/OvNDCPResponseVarList.h"
#include "vars/OvOptionList.h"

// A named, ordered list of variables.
class OvNDCPVarList {
public:
    OvNDCPVarList() = default;
    explicit OvNDCPVarList(const NDCPVarDef* definitions);
    // A copy: an empty list, then Assign. The name and the registries stay empty.
    OvNDCPVarList(const OvNDCPVarList& other);
    OvNDCPVarList& operator=(const OvNDCPVarList&) = delete;
    ~OvNDCPVarList();

    // Appends one variable per entry, up to the entry without name.
    void AddDefinitions(const NDCPVarDef* definitions);
    // Replaces the variables by copies of the other's; Name and the registries stay as they are.
    void Assign(const OvNDCPVarList& other);
    // Destroys all variables; the registries stay.
    void Clear() noexcept;

    [[nodiscard]] int Count() const noexcept { return static_cast<int>(vars_.size()); }
    // Throw OvException (index out of range) for a position outside 0 to Count() - 1.
    [[nodiscard]] detail::NDCPVar_s& Var(int index);
    [[nodiscard]] const detail::NDCPVar_s& Var(int index) const;

    // The number of values an answer carries: parts of variables with parts, 1 for every other
    // readable variable.
    [[nodiscard]] int ReadableValueCount() const noexcept;

    std::string Name;
    // Ownership registries: destroyed with the list; its variables may refer to them.
    std::vector<std::unique_ptr<OvOptionList>> OwnedOptionLists;
    std::vector<std::unique_ptr<OvNDCPResponseVarList>> OwnedPartLists;

private:
    std::vector<detail::NDCPVar_s> vars_;
};
