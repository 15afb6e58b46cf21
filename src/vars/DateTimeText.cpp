#include "vars/DateTimeText.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <optional>

#include "errors/OvException.h"
#include "vars/FloatText.h"
#include "vars/LocalTime.h"
#include "vars/TextHelpers.h"

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// 0001-01-01 and 9999-12-31 as day numbers counted from 1899-12-30.
constexpr std::int64_t kFirstDay = -693593;
constexpr std::int64_t kLastDay = 2958465;
// Days from 1899-12-30 to 1970-01-01, the origin of the civil-date arithmetic below.
constexpr std::int64_t kUnixEpochDay = 25569;

[[noreturn]] void RaiseNotDateTime(std::string_view text) {
    throw OvException("'" + std::string(text) + "' is not a valid date and time");
}

[[nodiscard]] bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
[[nodiscard]] bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

[[nodiscard]] bool IsLeapYear(int year) noexcept {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

[[nodiscard]] int DaysInMonth(int year, int month) noexcept {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a civil date.
[[nodiscard]] std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) noexcept {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

struct CivilDate {
    int year;
    int month;
    int day;
};

// The civil date of a day count since 1970-01-01.
[[nodiscard]] CivilDate CivilFromDays(std::int64_t days) noexcept {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    const auto day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const auto month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const auto year =
        static_cast<int>(static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

// The number rounded to whole milliseconds and split into a day number (towards zero) and the
// milliseconds of the day, counted forward from midnight also for days before 1899-12-30.
struct DayAndTime {
    std::int64_t day;
    std::int64_t msOfDay;
};

[[nodiscard]] std::optional<DayAndTime> SplitDateTime(double dateTime) noexcept {
    // The bounds keep the multiplication below far from overflow.
    if (!std::isfinite(dateTime) || dateTime <= static_cast<double>(kFirstDay - 2) ||
        dateTime >= static_cast<double>(kLastDay + 2)) {
        return std::nullopt;
    }
    const std::int64_t total = std::llround(dateTime * static_cast<double>(kMsPerDay));
    const std::int64_t day = total / kMsPerDay;
    if (day < kFirstDay || day > kLastDay) return std::nullopt;
    const std::int64_t ms = total % kMsPerDay;
    return DayAndTime{day, ms < 0 ? -ms : ms};
}

// ---- Date-time text reading ----

// A cursor over the text of a date and time.
class DateTimeReader {
public:
    explicit DateTimeReader(std::string_view text) : rest_(text) {}

    [[nodiscard]] bool AtEnd() const noexcept { return rest_.empty(); }

    // 1 to maxDigits decimal digits.
    [[nodiscard]] std::optional<int> Number(std::size_t maxDigits) noexcept {
        std::size_t count = 0;
        int value = 0;
        while (count < rest_.size() && IsDigit(rest_[count])) {
            if (count == maxDigits) return std::nullopt;
            value = value * 10 + (rest_[count] - '0');
            ++count;
        }
        if (count == 0) return std::nullopt;
        rest_.remove_prefix(count);
        return value;
    }

    [[nodiscard]] bool Take(char c) noexcept {
        if (rest_.empty() || rest_.front() != c) return false;
        rest_.remove_prefix(1);
        return true;
    }

    // Skips blanks and tells whether there were any.
    bool SkipBlanks() noexcept {
        const std::size_t before = rest_.size();
        while (!rest_.empty() && IsBlank(rest_.front())) rest_.remove_prefix(1);
        return rest_.size() != before;
    }

    // Takes the word when the rest of the text starts with it, letter case ignored.
    [[nodiscard]] bool TakeWord(std::string_view word) noexcept {
        if (word.empty() || rest_.size() < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            if (AsciiLower(rest_[i]) != AsciiLower(word[i])) return false;
        }
        rest_.remove_prefix(word.size());
        return true;
    }

private:
    [[nodiscard]] static char AsciiLower(char c) noexcept {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }

    std::string_view rest_;
};

struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// 0 without designator, 1 for before noon, 2 for after noon.
[[nodiscard]] int TakeDesignator(DateTimeReader& reader, const LocaleSettings& locale) noexcept {
    if (reader.TakeWord("am") || reader.TakeWord(locale.amDesignator)) return 1;
    if (reader.TakeWord("pm") || reader.TakeWord(locale.pmDesignator)) return 2;
    return 0;
}

// "hh:nn[:ss]" with an optional designator; the hour is on the 12-hour clock with a designator.
[[nodiscard]] std::optional<ClockTime> ReadClockTime(DateTimeReader& reader, const LocaleSettings& locale) {
    ClockTime time;
    const auto hour = reader.Number(2);
    if (!hour || !reader.Take(locale.timeSeparator)) return std::nullopt;
    const auto minute = reader.Number(2);
    if (!minute) return std::nullopt;
    if (reader.Take(locale.timeSeparator)) {
        const auto second = reader.Number(2);
        if (!second) return std::nullopt;
        time.second = *second;
    }
    reader.SkipBlanks();
    const int designator = TakeDesignator(reader, locale);
    time.hour = *hour;
    time.minute = *minute;
    if (designator != 0) {
        if (time.hour > 12) return std::nullopt;
        time.hour = time.hour % 12 + (designator == 2 ? 12 : 0);
    }
    if (time.hour > 23 || time.minute > 59 || time.second > 59) return std::nullopt;
    return time;
}

}  // namespace

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
        throw OvException("Invalid argument to date encode");
    }
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999) {
        throw OvException("Invalid argument to time encode");
    }
    const std::int64_t date =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kUnixEpochDay;
    const std::int64_t ms = ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + millisecond;
    const double time = static_cast<double>(ms) / static_cast<double>(kMsPerDay);
    // Days before 1899-12-30 are negative while their time of day still counts forward.
    return date >= 0 ? static_cast<double>(date) + time : static_cast<double>(date) - time;
}

bool IsValidDateTime(double dateTime) noexcept { return SplitDateTime(dateTime).has_value(); }

DateTimeParts DecodeDateTime(double dateTime) {
    const auto split = SplitDateTime(dateTime);
    if (!split) {
        throw OvException("The date-time number " + FormatGeneralFloat(dateTime) + " is out of range!");
    }
    const CivilDate date = CivilFromDays(split->day - kUnixEpochDay);
    const auto ms = static_cast<int>(split->msOfDay);
    return {date.year, date.month, date.day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000};
}

std::string FormatDateTime(double dateTime, const LocaleSettings& locale) {
    const DateTimeParts p = DecodeDateTime(dateTime);
    const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d%c%02d%c%02d %02d%c%02d%c%02d %s", p.year, locale.dateSeparator,
                  p.month, locale.dateSeparator, p.day, hour12, locale.timeSeparator, p.minute,
                  locale.timeSeparator, p.second, p.hour < 12 ? "am" : "pm");
    return buffer;
}

double ParseDateTime(std::string_view text, const LocaleSettings& locale) {
    DateTimeReader reader(TrimBlanks(text));
    const auto year = reader.Number(4);
    if (!year || !reader.Take(locale.dateSeparator)) RaiseNotDateTime(text);
    const auto month = reader.Number(2);
    if (!month || !reader.Take(locale.dateSeparator)) RaiseNotDateTime(text);
    const auto day = reader.Number(2);
    if (!day) RaiseNotDateTime(text);
    ClockTime time;
    if (!reader.AtEnd()) {
        if (!reader.SkipBlanks()) RaiseNotDateTime(text);
        const auto clock = ReadClockTime(reader, locale);
        if (!clock || !reader.AtEnd()) RaiseNotDateTime(text);
        time = *clock;
    }
    if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month)) {
        RaiseNotDateTime(text);
    }
    return EncodeDateTime(*year, *month, *day, time.hour, time.minute, time.second, 0);
}

double NowAsDateTime() {
    const auto now = std::chrono::system_clock::now();
    const std::tm local = LocalCalendarTime(std::chrono::system_clock::to_time_t(now));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          std::min(local.tm_sec, 59), static_cast<int>(ms < 0 ? ms + 1000 : ms));
}
