#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// The unsigned numbers of a delimited text such as "192.168.0.1".
class OvNumList {
public:
    // 0 for an empty text, else 1 plus the number of delimiters.
    [[nodiscard]] int CountNumbers(std::string_view text) const noexcept;
    // Replaces the numbers by those of the text; a "." that is not the delimiter starts a fraction
    // that is cut off.
    void ParseNumbers(std::string_view text);
    // Every number within min and max, both included; true for an empty list.
    [[nodiscard]] bool AllWithin(std::uint32_t min, std::uint32_t max) const noexcept;

    [[nodiscard]] int Count() const noexcept { return static_cast<int>(numbers_.size()); }
    // Throws OvException (index out of range) for a position outside 0 to Count() - 1.
    [[nodiscard]] std::uint32_t At(int index) const;

    char Delimiter = '.';

private:
    std::vector<std::uint32_t> numbers_;
};
