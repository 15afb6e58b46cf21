#include "vars/NDCPVar.h"

#include <utility>

#include "vars/OvNDCPResponseVarList.h"

namespace detail {

NDCPVar_s::NDCPVar_s() = default;

NDCPVar_s::NDCPVar_s(const NDCPVar_s& other)
    : Id(other.Id),
      Name(other.Name),
      Type(other.Type),
      Access(other.Access),
      Options(other.Options),
      Parts(other.Parts ? std::make_unique<OvNDCPResponseVarList>(*other.Parts) : nullptr),
      Value(other.Value) {}

NDCPVar_s& NDCPVar_s::operator=(const NDCPVar_s& other) {
    if (this != &other) {
        // Build the copy first so that a failure leaves this record as it was.
        NDCPVar_s copy(other);
        *this = std::move(copy);
    }
    return *this;
}

NDCPVar_s::NDCPVar_s(NDCPVar_s&&) noexcept = default;
NDCPVar_s& NDCPVar_s::operator=(NDCPVar_s&&) noexcept = default;
NDCPVar_s::~NDCPVar_s() = default;

}  // namespace detail
