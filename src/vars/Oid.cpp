#include "vars/Oid.h"

#include "errors/Messages.h"

#include <limits>

std::optional<Oid> Oid::Parse(std::string_view text) {
    Oid oid;
    std::uint64_t current = 0;
    bool inNumber = false;
    for (const char c : text) {
        if (c == '.') {
            if (!inNumber) return std::nullopt;  // empty piece
            oid.ids_.push_back(static_cast<std::uint32_t>(current));
            current = 0;
            inNumber = false;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        current = current * 10 + static_cast<std::uint64_t>(c - '0');
        if (current > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
        inNumber = true;
    }
    if (!inNumber) return std::nullopt;  // empty text or a trailing dot
    oid.ids_.push_back(static_cast<std::uint32_t>(current));
    return oid;
}

std::uint32_t Oid::At(std::size_t index) const {
    if (index >= ids_.size()) RaiseConstraintError(kIndexOutOfRange);
    return ids_[index];
}
