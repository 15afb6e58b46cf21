#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <span>
#include <vector>

#include "vars/LocaleSettings.h"

class OvNDCPVarList;
class OvOptionList;

namespace detail {

// Ties one variable, one part of a structured variable, or a byte range of either to one or more
// controls: labels or static texts, check boxes (optionally one per bit), combo boxes, radio groups
// or groups of edits. The record owns its arrays of bits and controls; the controls themselves
// belong to their window and are only watched, so a control destroyed first reads as null.
struct ControlBinding_s {
    // Raises "Out of range at index of array or list!" (-12) without controls, for a null control,
    // and for bits whose count differs from the controls'. Empty bits: the controls show the value.
    ControlBinding_s(std::uint32_t varIndex, std::uint32_t partIndex, std::uint32_t startByte,
                     std::uint8_t type, const OvOptionList* options, std::vector<QWidget*> controls,
                     std::vector<std::int32_t> bits = {});

    std::uint32_t VarIndex;       // position of the variable in the variable list
    std::uint32_t PartIndex;      // position of the part, for a variable with parts
    std::uint32_t StartByte;      // first value byte of the bound value; 0 binds from the start
    std::uint8_t Type;            // type code of the bound value; another than the source's makes it partial
    const OvOptionList* Options;  // the control's reference option list, not owned; may be null

    [[nodiscard]] std::int32_t Count() const noexcept { return static_cast<std::int32_t>(controls_.size()); }
    [[nodiscard]] bool HasBits() const noexcept { return !bits_.empty(); }
    // Both raise -12 outside 0 to Count() - 1 (Bit also without bits).
    [[nodiscard]] std::int32_t Bit(int index) const;
    [[nodiscard]] QWidget* Control(int index) const;  // null once the control is destroyed

private:
    std::vector<std::int32_t> bits_;
    std::vector<QPointer<QWidget>> controls_;
};

}  // namespace detail

// Shows the value of every record, in order, in its controls. The first error ends the walk; the
// records before it have been shown. A record whose variable or part lies outside the list raises
// "Out of range at index of array or list!" (-12); a destroyed control or one of another kind
// raises -1024; the other errors are those of the value conversions and -1020 to -1023.
void VariablesToControls(const OvNDCPVarList& vars, std::span<const detail::ControlBinding_s> bindings,
                         const LocaleSettings& locale = {});

// Reads the controls of the records into the value texts of the variables without parts that they
// are bound to, merging partial values into the variable's value bytes. Variables no record is
// bound to are left untouched. Every record's variable and part are checked before any variable
// changes; the errors are those of VariablesToControls (a control of another kind raises -1024 here as well).
void ControlsToVariables(OvNDCPVarList& vars, std::span<const detail::ControlBinding_s> bindings,
                         const LocaleSettings& locale = {});
