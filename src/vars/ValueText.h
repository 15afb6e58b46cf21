#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vars/LocaleSettings.h"

// Text forms of NDCP values shared by the wire codec, the expressions and the bound controls.
// The parsers raise OvException (kUnknownError) with a message that quotes the text they refuse.

// A signed 32-bit decimal integer: optional sign, then decimal digits, nothing else.
[[nodiscard]] std::int32_t ParseInt32Text(std::string_view text);

// An integer text for an unsigned field of up to 32 bits: whatever ParseInt32Text takes, and also
// the decimal texts from 2147483648 to 4294967295, so that every unsigned 32-bit value written as
// text reads back. The result is the number's low 32 bits; other texts raise as ParseInt32Text does.
[[nodiscard]] std::uint32_t ParseUInt32Text(std::string_view text);

// The leading decimal integer of a text (optional sign and digits; none gives 0), kept in 64 bits
// so that callers can cut it to their field's width.
[[nodiscard]] std::int64_t LeadingInteger(std::string_view text) noexcept;

// A floating-point number: optional sign, digits with the locale's decimal separator (a '.' is
// accepted as well), optional exponent; blanks around it are ignored. Too large a number raises;
// one too small for a double reads 0.
[[nodiscard]] double ParseFloatText(std::string_view text, const LocaleSettings& locale = {});

// The general floating-point form: up to 15 significant digits, trailing zeros and a trailing
// separator dropped; the exponent form ("1E20", "1E-6") when there are more than 15 digits before
// the separator or the magnitude is below 0.00001.
[[nodiscard]] std::string FormatGeneralFloat(double value, const LocaleSettings& locale = {});

// Date-time numbers: days since 1899-12-30 00:00, the fraction being the time of day.
// "yyyy/mm/dd hh:nn:ss am/pm" with the locale's date and time separators: the hour on the 12-hour
// clock (01 to 12) and the literal "am" or "pm". Throws as DecodeDateTime does.
[[nodiscard]] std::string FormatDateTime(double dateTime, const LocaleSettings& locale = {});
// Reads at least the form FormatDateTime writes; also "yyyy/mm/dd", "yyyy/mm/dd hh:nn[:ss]" on the
// 24-hour clock and the am/pm designators of the locale (letter case ignored). Blanks around the
// text are ignored; any other text raises OvException (kUnknownError) quoting it.
[[nodiscard]] double ParseDateTime(std::string_view text, const LocaleSettings& locale = {});
// The date-time number of a calendar date and time; throws for an impossible date.
[[nodiscard]] double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                                    int millisecond);
struct DateTimeParts {
    int year, month, day, hour, minute, second, millisecond;
};
// Throws OvException for a number that is no date and time (not finite, or outside the years 1 to
// 9999); a negative number is a day before 1899-12-30 whose fraction counts forward from midnight.
[[nodiscard]] DateTimeParts DecodeDateTime(double dateTime);
// Whether DecodeDateTime and FormatDateTime take the number.
[[nodiscard]] bool IsValidDateTime(double dateTime) noexcept;
// The current local date and time as a date-time number.
[[nodiscard]] double NowAsDateTime();

// IPv4 text through the platform's address conversion (inet_aton: dotted forms of one to four
// numbers): no value for a text that is not an address or that holds a zero byte.
[[nodiscard]] std::optional<std::array<std::uint8_t, 4>> InetAddr(std::string_view text);
// Four bytes as dotted decimal.
[[nodiscard]] std::string DottedAddress(const std::array<std::uint8_t, 4>& bytes);
