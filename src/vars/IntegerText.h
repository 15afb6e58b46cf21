#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "errors/OvException.h"

// Decimal integer texts of NDCP values. The parsers raise OvException (kUnknownError) with a
// message that quotes the text they refuse.

// A signed 32-bit decimal integer: optional sign, then decimal digits, nothing else.
[[nodiscard]] std::int32_t ParseInt32Text(std::string_view text);
// The same without raising: no value for a text ParseInt32Text refuses.
[[nodiscard]] std::optional<std::int32_t> TryParseInt32Text(std::string_view text) noexcept;
// The error ParseInt32Text and ParseUInt32Text raise for the text.
[[nodiscard]] OvException NotIntegerError(std::string_view text);

// An integer text for an unsigned field of up to 32 bits: whatever ParseInt32Text takes, and also
// the decimal texts from 2147483648 to 4294967295, so that every unsigned 32-bit value written as
// text reads back. The result is the number's low 32 bits; other texts raise as ParseInt32Text does.
[[nodiscard]] std::uint32_t ParseUInt32Text(std::string_view text);

// The leading decimal integer of a text (optional sign and digits; none gives 0), kept in 64 bits
// so that callers can cut it to their field's width.
[[nodiscard]] std::int64_t LeadingInteger(std::string_view text) noexcept;
