#pragma once

#include <functional>
#include <memory>

#include "ndcp/wire/OvNDCPError.h"

class OvNDCPVarList;

// A bound callback: told every outcome of a pending request with the completion record and the
// decoded variables, both owned by the client for the duration of the call.
//
// When an owner token is given, the client calls the function only while the token is alive, so
// an object that goes away while its sends are pending is never called back.
struct OvNDCPCallback {
    std::function<void(const OvNDCPError&, const OvNDCPVarList&)> function;
    std::weak_ptr<const void> owner;
    bool hasOwner = false;

    OvNDCPCallback() = default;
    explicit OvNDCPCallback(std::function<void(const OvNDCPError&, const OvNDCPVarList&)> f)
        : function(std::move(f)) {}
    OvNDCPCallback(std::function<void(const OvNDCPError&, const OvNDCPVarList&)> f,
                   std::weak_ptr<const void> ownerToken)
        : function(std::move(f)), owner(std::move(ownerToken)), hasOwner(true) {}

    [[nodiscard]] bool Callable() const { return function && (!hasOwner || !owner.expired()); }
};
