#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vars/LocaleSettings.h"

// Value bytes: a value in memory as the bound controls see it. Numbers are stored least
// significant byte first (unlike the wire); a partial binding addresses these bytes by position
// and bit, bit 0 being the most significant bit of byte 0.
using ValueBytes = std::vector<std::uint8_t>;

// The value bytes of a value text of the type. Integers take the text's leading decimal integer
// cut to their width; booleans are 1 only for the text "true"; an ipaddress text that is not
// dotted decimal gives no bytes. Raises "Bad value type!" (-1007) for a type outside 1 to 17 and
// the conversion error of the number and date-time parsers for a double or datetime text they refuse.
[[nodiscard]] ValueBytes TextToValue(std::string_view text, int type, const LocaleSettings& locale = {});

// The value text of value bytes of the type. Bytes shorter than the type's minimum raise "Bad value
// of NDCP variable's (partial) data!" (-1018), as does a datetime outside the years 1 to 9999;
// a type outside 1 to 17 raises -1007.
[[nodiscard]] std::string ValueToText(std::span<const std::uint8_t> bytes, int type,
                                      const LocaleSettings& locale = {});

// The bytes of the partial value of the type that starts at startByte: as many as the type's width,
// or for bitstr, octetstr and displaystr all the rest. A run reaching beyond the bytes (for those
// three: a start beyond their end) raises -1019; a type outside 1 to 17 raises -1007.
[[nodiscard]] ValueBytes ExtractPartial(std::span<const std::uint8_t> bytes, std::uint32_t startByte,
                                        int type);

// The width of a value of the type in value bytes, or -1 for bitstr, octetstr and displaystr
// (any width); raises -1007 for a type outside 1 to 17.
[[nodiscard]] int ValueWidth(int type);

// Bits of value bytes, numbered from the most significant bit of byte 0. Reading a bit whose byte
// lies outside the bytes (or a negative index) raises "Out of range about the bit index ..." (-1021);
// writing one appends zero bytes up to it first.
[[nodiscard]] bool BitOf(std::span<const std::uint8_t> bytes, std::int32_t bit);
void SetBitOf(ValueBytes& bytes, std::int32_t bit, bool set);

// Numbers of value bytes, least significant byte first; bytes shorter than the width raise -1018.
[[nodiscard]] std::uint64_t UnsignedOf(std::span<const std::uint8_t> bytes, int width);
[[nodiscard]] double DoubleOf(std::span<const std::uint8_t> bytes);
// The date-time number of 8 value bytes; -1018 for one outside the years 1 to 9999 or not finite.
[[nodiscard]] double DateTimeOf(std::span<const std::uint8_t> bytes);
