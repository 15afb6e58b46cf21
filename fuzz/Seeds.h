#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// The fuzz targets by name, and the seed inputs of each: the cases of the unit tests written in the
// input layout of the target.
using Seed = std::vector<std::uint8_t>;

inline constexpr std::string_view kFuzzTargets[] = {
    "answer", "request", "value_decode", "text_parsers", "expression", "num_list", "edit_constraint"};

// No seeds for a name that is not a target.
[[nodiscard]] std::vector<Seed> SeedsFor(std::string_view target);
