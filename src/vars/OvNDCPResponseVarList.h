#pragma once

#include <memory>
#include <vector>

#include "vars/NDCPVar.h"
#include "vars/OvOptionList.h"

// The parts of a structured variable, in definition order.
class OvNDCPResponseVarList {
public:
    OvNDCPResponseVarList() = default;
    explicit OvNDCPResponseVarList(const NDCPPartDef* definitions);
    // A copy: an empty list, then Assign; OwnedOptionLists stays empty.
    OvNDCPResponseVarList(const OvNDCPResponseVarList& other);
    OvNDCPResponseVarList& operator=(const OvNDCPResponseVarList&) = delete;
    ~OvNDCPResponseVarList();

    void AddDefinitions(const NDCPPartDef* definitions);
    // Replaces the parts by copies of the other's; OwnedOptionLists stays as it is.
    void Assign(const OvNDCPResponseVarList& other);
    void Clear() noexcept;

    [[nodiscard]] int Count() const noexcept { return static_cast<int>(parts_.size()); }
    // Throw OvException (index out of range) for a position outside 0 to Count() - 1.
    [[nodiscard]] detail::NDCPResponseVar_s& Part(int index);
    [[nodiscard]] const detail::NDCPResponseVar_s& Part(int index) const;

    // Option lists this list owns; its parts may refer to them.
    std::vector<std::unique_ptr<OvOptionList>> OwnedOptionLists;

private:
    std::vector<detail::NDCPResponseVar_s> parts_;
};
