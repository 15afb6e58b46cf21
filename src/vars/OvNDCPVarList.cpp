#include "vars/OvNDCPVarList.h"

#include <iterator>

#include "errors/Messages.h"
#include "vars/VarTypes.h"

namespace {

detail::NDCPVar_s VarFromDefinition(const NDCPVarDef& definition) {
    detail::NDCPVar_s var;
    var.Id = definition.id;
    var.Name = definition.name;
    var.Type = definition.type;
    var.Access = definition.access;
    var.Options = definition.options;
    if (definition.parts != nullptr) var.Parts = std::make_unique<OvNDCPResponseVarList>(*definition.parts);
    if (definition.initialValue != nullptr) var.Value = definition.initialValue;
    return var;
}

}  // namespace

OvNDCPVarList::OvNDCPVarList(const NDCPVarDef* definitions) { AddDefinitions(definitions); }

OvNDCPVarList::OvNDCPVarList(const OvNDCPVarList& other) { Assign(other); }

OvNDCPVarList::~OvNDCPVarList() = default;

void OvNDCPVarList::AddDefinitions(const NDCPVarDef* definitions) {
    if (definitions == nullptr) return;
    std::vector<detail::NDCPVar_s> added;
    for (const NDCPVarDef* entry = definitions; entry->name != nullptr; ++entry) {
        added.push_back(VarFromDefinition(*entry));
    }
    vars_.insert(vars_.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

void OvNDCPVarList::Assign(const OvNDCPVarList& other) {
    // Copying before replacing keeps a self-assignment (or a failed copy) from losing the variables.
    std::vector<detail::NDCPVar_s> copy = other.vars_;
    vars_.swap(copy);
}

void OvNDCPVarList::Clear() noexcept { vars_.clear(); }

detail::NDCPVar_s& OvNDCPVarList::Var(int index) {
    if (index < 0 || index >= Count()) RaiseConstraintError(kIndexOutOfRange);
    return vars_[static_cast<std::size_t>(index)];
}

const detail::NDCPVar_s& OvNDCPVarList::Var(int index) const {
    if (index < 0 || index >= Count()) RaiseConstraintError(kIndexOutOfRange);
    return vars_[static_cast<std::size_t>(index)];
}

int OvNDCPVarList::ReadableValueCount() const noexcept {
    int count = 0;
    for (const detail::NDCPVar_s& var : vars_) {
        if (var.Parts) {
            count += var.Parts->Count();
        } else if ((var.Access & kReadable) != 0) {
            ++count;
        }
    }
    return count;
}
