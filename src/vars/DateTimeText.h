#pragma once

#include <string>
#include <string_view>

#include "vars/LocaleSettings.h"

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
