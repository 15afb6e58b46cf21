#include "vars/ValueText.h"

#include "errors/OvException.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
// 0001-01-01 and 9999-12-31 as day numbers counted from 1899-12-30.
constexpr std::int64_t kFirstDay = -693593;
constexpr std::int64_t kLastDay = 2958465;
// Days from 1899-12-30 to 1970-01-01, the origin of the civil-date arithmetic below.
constexpr std::int64_t kUnixEpochDay = 25569;

[[nodiscard]] std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

[[noreturn]] void RaiseNotInteger(std::string_view text) {
    throw OvException(Quoted(text) + " is not a valid integer value");
}

[[noreturn]] void RaiseNotFloat(std::string_view text) {
    throw OvException(Quoted(text) + " is not a valid floating point value");
}

[[noreturn]] void RaiseNotDateTime(std::string_view text) {
    throw OvException(Quoted(text) + " is not a valid date and time");
}

[[nodiscard]] bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
[[nodiscard]] bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }
[[nodiscard]] bool IsSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

[[nodiscard]] std::string_view TrimBlanks(std::string_view text) noexcept {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// An optional sign and at least one decimal digit, nothing else. Values beyond +-2^33 are cut off
// there, which every caller refuses anyway.
[[nodiscard]] std::optional<std::int64_t> StrictDecimal(std::string_view text) noexcept {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    constexpr std::int64_t kCap = std::int64_t{1} << 33;
    std::int64_t value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        if (value < kCap) value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

// ---- Date-time arithmetic (proleptic Gregorian calendar) ----

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

// ---- Floating-point text ----

// The general form writes the largest doubles with 15 digits, rounded up past the largest double
// ("1.79769313486232E308"); such a text reads back as the largest double, so that a value read
// from a device can be sent back.
[[nodiscard]] bool IsLargestDoubleRounded(const std::string& normal) noexcept {
    long double wide = 0.0L;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), wide);
    return error == std::errc() && end == normal.data() + normal.size() && wide <= 1.79769313486232E308L;
}

// Decides, for a text from_chars found out of range, whether it was too small (not too large):
// the decimal position of its first significant digit, the exponent read with saturation.
[[nodiscard]] bool IsUnderflow(std::string_view mantissa, std::string_view exponent) noexcept {
    bool negativeExponent = false;
    if (!exponent.empty() && (exponent.front() == '+' || exponent.front() == '-')) {
        negativeExponent = exponent.front() == '-';
        exponent.remove_prefix(1);
    }
    std::int64_t exponentValue = 0;
    for (const char c : exponent)
        exponentValue = std::min<std::int64_t>(exponentValue * 10 + (c - '0'), 1000000);
    if (negativeExponent) exponentValue = -exponentValue;
    const auto point = mantissa.find('.');
    const std::size_t integerDigits = point == std::string_view::npos ? mantissa.size() : point;
    auto position = static_cast<std::int64_t>(integerDigits);
    for (const char c : mantissa) {
        if (c == '.') continue;
        if (c != '0') break;
        --position;
    }
    return position + exponentValue <= 0;
}

// Fifteen significant digits and the decimal exponent of a finite nonzero magnitude.
struct Digits15 {
    std::string digits;  // trailing zeros removed, at least one digit
    int exponent;        // of the first digit
};

[[nodiscard]] Digits15 SignificantDigits(double magnitude) {
    // to_chars does not depend on the C locale, so the layout is always "d.ddddddddddddddde+xx".
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14).ptr;
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const auto e = text.find('e');
    Digits15 result{std::string(1, text[0]) + std::string(text.substr(2, e - 2)), 0};
    result.exponent = static_cast<int>(LeadingInteger(text.substr(e + 1)));
    while (result.digits.size() > 1 && result.digits.back() == '0') result.digits.pop_back();
    return result;
}

}  // namespace

std::int32_t ParseInt32Text(std::string_view text) {
    const auto value = StrictDecimal(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::int32_t>::max()) {
        RaiseNotInteger(text);
    }
    return static_cast<std::int32_t>(*value);
}

std::uint32_t ParseUInt32Text(std::string_view text) {
    const auto value = StrictDecimal(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::uint32_t>::max()) {
        RaiseNotInteger(text);
    }
    return static_cast<std::uint32_t>(*value);
}

std::int64_t LeadingInteger(std::string_view text) noexcept {
    std::size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Unsigned arithmetic wraps, so an over-long number keeps its low bits.
    std::uint64_t value = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
    }
    return static_cast<std::int64_t>(negative ? 0 - value : value);
}

double ParseFloatText(std::string_view text, const LocaleSettings& locale) {
    const std::string_view body = TrimBlanks(text);
    std::string normal;  // sign dropped, separator as '.'
    std::size_t pos = 0;
    bool negative = false;
    if (pos < body.size() && (body[pos] == '+' || body[pos] == '-')) negative = body[pos++] == '-';
    std::size_t mantissaDigits = 0;
    bool seenPoint = false;
    for (; pos < body.size(); ++pos) {
        const char c = body[pos];
        if (IsDigit(c)) {
            normal.push_back(c);
            ++mantissaDigits;
        } else if (!seenPoint && (c == locale.decimalSeparator || c == '.')) {
            normal.push_back('.');
            seenPoint = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) RaiseNotFloat(text);
    const std::size_t mantissaLength = normal.size();
    if (pos < body.size() && (body[pos] == 'e' || body[pos] == 'E')) {
        normal.push_back('e');
        ++pos;
        if (pos < body.size() && (body[pos] == '+' || body[pos] == '-')) normal.push_back(body[pos++]);
        std::size_t exponentDigits = 0;
        for (; pos < body.size() && IsDigit(body[pos]); ++pos, ++exponentDigits) normal.push_back(body[pos]);
        if (exponentDigits == 0) RaiseNotFloat(text);
    }
    if (pos != body.size()) RaiseNotFloat(text);

    double value = 0.0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (error == std::errc::result_out_of_range) {
        const std::string_view all(normal);
        const std::string_view exponent = mantissaLength < all.size() ? all.substr(mantissaLength + 1) : "";
        if (IsUnderflow(all.substr(0, mantissaLength), exponent)) {
            value = 0.0;
        } else if (IsLargestDoubleRounded(normal)) {
            value = std::numeric_limits<double>::max();
        } else {
            RaiseNotFloat(text);
        }
    } else if (error != std::errc() || end != normal.data() + normal.size()) {
        RaiseNotFloat(text);
    }
    return negative ? -value : value;
}

std::string FormatGeneralFloat(double value, const LocaleSettings& locale) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0.0) return "0";

    const double magnitude = std::fabs(value);
    const Digits15 d = SignificantDigits(magnitude);
    std::string text = value < 0 ? "-" : "";
    // More than 15 digits before the separator, or a magnitude below 0.00001.
    if (d.exponent >= 15 || magnitude < 0.00001) {
        text += d.digits[0];
        if (d.digits.size() > 1) {
            text += locale.decimalSeparator;
            text.append(d.digits, 1);
        }
        text += 'E';
        text += std::to_string(d.exponent);
        return text;
    }
    if (d.exponent < 0) {
        text += '0';
        text += locale.decimalSeparator;
        text.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        text += d.digits;
        return text;
    }
    const auto integerDigits = static_cast<std::size_t>(d.exponent) + 1;
    if (d.digits.size() <= integerDigits) {
        text += d.digits;
        text.append(integerDigits - d.digits.size(), '0');
    } else {
        text.append(d.digits, 0, integerDigits);
        text += locale.decimalSeparator;
        text.append(d.digits, integerDigits);
    }
    return text;
}

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
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          std::min(local.tm_sec, 59), static_cast<int>(ms < 0 ? ms + 1000 : ms));
}

std::optional<std::array<std::uint8_t, 4>> InetAddr(std::string_view text) {
    // The C conversion stops at a zero byte; a text holding one is not an address.
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    const std::string terminated(text);
    in_addr address{};
    if (::inet_aton(terminated.c_str(), &address) == 0) return std::nullopt;
    std::array<std::uint8_t, 4> bytes{};
    std::memcpy(bytes.data(), &address.s_addr, bytes.size());  // already in network order
    return bytes;
}

std::string DottedAddress(const std::array<std::uint8_t, 4>& bytes) {
    // Built in place: every answer of a discovery carries two addresses.
    std::string text;
    text.reserve(15);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text.push_back('.');
        std::array<char, 3> digits{};
        const auto written = std::to_chars(digits.data(), digits.data() + digits.size(), bytes[i]);
        text.append(digits.data(), written.ptr);
    }
    return text;
}
