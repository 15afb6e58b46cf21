#include "vars/OvNDCPResponseVarList.h"

#include <iterator>

#include "errors/Messages.h"

namespace {

detail::NDCPResponseVar_s PartFromDefinition(const NDCPPartDef& definition) {
    detail::NDCPResponseVar_s part;
    part.Id = definition.id;
    part.Name = definition.name;
    part.Type = definition.type;
    part.Options = definition.options;
    if (definition.initialValue != nullptr) part.Value = definition.initialValue;
    return part;
}

}  // namespace

OvNDCPResponseVarList::OvNDCPResponseVarList(const NDCPPartDef* definitions) { AddDefinitions(definitions); }

OvNDCPResponseVarList::OvNDCPResponseVarList(const OvNDCPResponseVarList& other) { Assign(other); }

OvNDCPResponseVarList::~OvNDCPResponseVarList() = default;

void OvNDCPResponseVarList::AddDefinitions(const NDCPPartDef* definitions) {
    if (definitions == nullptr) return;
    std::vector<detail::NDCPResponseVar_s> added;
    for (const NDCPPartDef* entry = definitions; entry->name != nullptr; ++entry) {
        added.push_back(PartFromDefinition(*entry));
    }
    parts_.insert(parts_.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

void OvNDCPResponseVarList::Assign(const OvNDCPResponseVarList& other) {
    // Copying before replacing keeps a self-assignment (or a failed copy) from losing the parts.
    std::vector<detail::NDCPResponseVar_s> copy = other.parts_;
    parts_.swap(copy);
}

void OvNDCPResponseVarList::Clear() noexcept { parts_.clear(); }

detail::NDCPResponseVar_s& OvNDCPResponseVarList::Part(int index) {
    if (index < 0 || index >= Count()) RaiseConstraintError(kIndexOutOfRange);
    return parts_[static_cast<std::size_t>(index)];
}

const detail::NDCPResponseVar_s& OvNDCPResponseVarList::Part(int index) const {
    if (index < 0 || index >= Count()) RaiseConstraintError(kIndexOutOfRange);
    return parts_[static_cast<std::size_t>(index)];
}
