#include "vars/DateTimeText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <random>
#include <string>

#include "TextTestHelpers.h"
#include "testkit/ScopedTimeZone.h"
#include "vars/FloatText.h"

namespace {

TEST(DateTimeTextTest, DateTimeNumbers) {
    EXPECT_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_EQ(EncodeDateTime(2005, 1, 1, 12, 0, 0, 0), 38353.5);
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);  // the time counts forward
    EXPECT_EQ(EncodeDateTime(1, 1, 1, 0, 0, 0, 0), -693593.0);
    EXPECT_EQ(EncodeDateTime(9999, 12, 31, 0, 0, 0, 0), 2958465.0);
    EXPECT_EQ(EncodeDateTime(2000, 2, 29, 0, 0, 0, 0), 36585.0);
    const DateTimeParts p = DecodeDateTime(-1.25);
    EXPECT_EQ((std::array{p.year, p.month, p.day, p.hour, p.minute}), (std::array{1899, 12, 29, 6, 0}));
    ExpectConversionError([] { return EncodeDateTime(1900, 2, 29, 0, 0, 0, 0); },
                          "Invalid argument to date encode");
    ExpectConversionError([] { return EncodeDateTime(10000, 1, 1, 0, 0, 0, 0); },
                          "Invalid argument to date encode");
    ExpectConversionError([] { return EncodeDateTime(2005, 1, 1, 24, 0, 0, 0); },
                          "Invalid argument to time encode");
    for (const double number : {kNaN, kInf, 1e300, -693594.5, 2958466.0}) {
        EXPECT_FALSE(IsValidDateTime(number));
        ExpectConversionError([&] { return DecodeDateTime(number); },
                              "The date-time number " + FormatGeneralFloat(number) + " is out of range!");
    }
    EXPECT_TRUE(IsValidDateTime(-693593.5));
}

TEST(DateTimeTextTest, DateTimeText) {
    const struct {
        double number;
        std::string_view text;
    } cases[] = {{38353.0, "2005/01/01 12:00:00 am"},
                 {38353.5, "2005/01/01 12:00:00 pm"},
                 {38353.75, "2005/01/01 06:00:00 pm"},
                 {38353.0 + 3723 / 86400.0, "2005/01/01 01:02:03 am"},
                 {38353.0 + 86399 / 86400.0, "2005/01/01 11:59:59 pm"},
                 {38353.99999999999, "2005/01/02 12:00:00 am"},  // rounds to the next midnight
                 {-1.25, "1899/12/29 06:00:00 am"},
                 {-693593.0, "0001/01/01 12:00:00 am"}};
    for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.number), c.text);
    EXPECT_EQ(FormatDateTime(38353.75, OtherLocale()), "2005-01-01 06.00.00 pm");
}

TEST(DateTimeTextTest, DateTimeTextsThatParse) {
    const struct {
        std::string_view text;
        double number;
    } cases[] = {{"2005/01/01 12:00:00 am", 38353.0},  {"2005/01/01 12:00:00 pm", 38353.5},
                 {"2005/01/01 06:00:00 PM", 38353.75}, {"2005/01/01 06:00:00pm", 38353.75},
                 {"2005/01/01 18:00:00", 38353.75},    {"2005/01/01 18:00", 38353.75},
                 {"2005/01/01 0:00 am", 38353.0},      {"  2005/1/1  ", 38353.0},
                 {"1899/12/29 06:00:00 am", -1.25}};
    for (const auto& c : cases) EXPECT_EQ(ParseDateTime(c.text), c.number) << c.text;
    EXPECT_EQ(ParseDateTime("2005-01-01 06.00.00 Nachm.", OtherLocale()), 38353.75);
    // Every written text reads back, in both locales.
    for (double day = -693593; day <= 2958465; day += 9973.0) {
        for (int second = 0; second < 86400; second += 3917) {
            const double number = day + (day < 0 ? -1 : 1) * second / 86400.0;
            const std::string text = FormatDateTime(number);
            EXPECT_EQ(FormatDateTime(ParseDateTime(text)), text);
            EXPECT_EQ(FormatDateTime(ParseDateTime(FormatDateTime(number, OtherLocale()), OtherLocale())),
                      text);
        }
    }
}

TEST(DateTimeTextTest, DateTimeTextsThatAreRefused) {
    // Bad month, day, year, hour, minute, designator; trailing text; foreign separator; time only.
    for (const std::string_view text :
         {"", "abc", "2005/13/01", "2005/02/30", "0000/01/01", "12345/01/01", "2005/01/01 24:00:00",
          "2005/01/01 13:00:00 pm", "2005/01/01 12:60", "2005/01/01 12", "2005/01/01 12:00:00 xm",
          "2005/01/01 12:00:00 am junk", "2005/01/0112:00", "2005-01-01", "12:00:00"}) {
        ExpectConversionError([&] { return ParseDateTime(text); },
                              "'" + std::string(text) + "' is not a valid date and time");
    }
    EXPECT_THROW((void)ParseDateTime(std::string_view("2005/01/01\0", 11)), OvException);
}

TEST(DateTimeTextTest, DateTimeParserSurvivesRandomTexts) {
    std::mt19937 random(4711);
    const std::string alphabet("0123456789/: apmAPM-.\t\0x", 24);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (std::size_t n = pick(random); n > 0; --n) text.push_back(alphabet[pick(random)]);
        try {
            EXPECT_TRUE(IsValidDateTime(ParseDateTime(text))) << text;
        } catch (const OvException& e) {
            EXPECT_EQ(e.Code(), kUnknownError);
        }
    }
}

TEST(DateTimeTextTest, NowIsTheLocalTime) {
    const ScopedTimeZone utc("UTC");
    const double expected = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
    EXPECT_NEAR(NowAsDateTime(), expected, 2.0 / 86400.0);
}

}  // namespace
