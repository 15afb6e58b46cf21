#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "vars/LocaleSettings.h"

// Size of an element's header: identifier byte and 16-bit big-endian element length.
inline constexpr int kElementHeaderSize = 3;

// The element lookup: walks the variable area element by element and returns the value bytes of
// the first element with the identifier whose value starts inside the area. An element whose
// header or value runs past the end of the area is not found, so nothing outside the area is read;
// an element length below 3 ends the walk.
[[nodiscard]] std::optional<std::span<const std::uint8_t>> FindElement(std::uint8_t id,
                                                                       std::span<const std::uint8_t> area);

// Writes one element (identifier, element length, value bytes) into out and returns the number of
// bytes written, or kBadValueType for type 0 and 18 to 255 (the identifier is then the only byte
// written). Raises OvException (kUnknownError) when the value text does not convert, when a value is longer
// than the 65532 bytes an element can frame, and when the element does not fit in out; nothing past
// out is ever written. The unsigned integer types also take decimal texts up to 4294967295, and a
// macaddress text of fewer than six bytes is completed with zero bytes.
[[nodiscard]] int EncodeElement(std::uint8_t id, std::uint8_t type, std::string_view valueText,
                                std::span<std::uint8_t> out, const LocaleSettings& locale = {});

// Finds the element of the identifier in the area and replaces valueText by its value's text.
// Returns 0, kBadVariableId (not found) or kBadPacket (wrong width for the type, or a datetime value
// that is no date: not finite or outside the years 1 to 9999). Type 0 and 18 to 255 succeed without
// touching valueText; on failure valueText is left as it was.
[[nodiscard]] int DecodeElement(std::uint8_t id, std::uint8_t type, std::string& valueText,
                                std::span<const std::uint8_t> area, const LocaleSettings& locale = {});
