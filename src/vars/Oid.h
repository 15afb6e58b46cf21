#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// A dotted sequence of unsigned decimal sub-identifiers, such as "192.168.0.1".
class Oid {
public:
    // Parses dotted decimal text: digits separated by single dots, nothing else.
    // Returns no value for any other text (empty pieces, signs, letters, overflow past 32 bits).
    [[nodiscard]] static std::optional<Oid> Parse(std::string_view text);

    [[nodiscard]] std::size_t Length() const noexcept { return ids_.size(); }
    // Throws OvException (index out of range) for a position at or past Length().
    [[nodiscard]] std::uint32_t At(std::size_t index) const;

private:
    std::vector<std::uint32_t> ids_;
};
