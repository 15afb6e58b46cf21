#include "vars/ValueText.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <random>
#include <string>

#include "errors/Messages.h"
#include "errors/OvException.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Runs f, which must raise OvException with kUnknownError and the message.
template <class F>
void ExpectConversionError(F f, const std::string& message) {
    try {
        (void)f();
        ADD_FAILURE() << "no error raised for: " << message;
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), kUnknownError);
        EXPECT_EQ(std::string(e.what()), message);
    }
}

LocaleSettings OtherLocale() { return LocaleSettings{',', '-', '.', "vorm.", "nachm."}; }

TEST(ValueTextTest, Int32Texts) {
    EXPECT_EQ(ParseInt32Text("-0"), 0);
    EXPECT_EQ(ParseInt32Text("+5"), 5);
    EXPECT_EQ(ParseInt32Text("007"), 7);
    EXPECT_EQ(ParseInt32Text("2147483647"), 2147483647);
    EXPECT_EQ(ParseInt32Text("-2147483648"), -2147483647 - 1);
    for (const std::string_view text : {"", "+", "-", "abc", "1.5", " 1", "1 ", "0x10", "2147483648",
                                        "-2147483649", "4294967295", "99999999999999999999999"}) {
        ExpectConversionError([&] { return ParseInt32Text(text); },
                              "'" + std::string(text) + "' is not a valid integer value");
    }
}

TEST(ValueTextTest, UnsignedTextsAlsoTakeTheUpperHalf) {
    EXPECT_EQ(ParseUInt32Text("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseUInt32Text("2147483648"), 0x80000000u);
    EXPECT_EQ(ParseUInt32Text("-1"), 0xFFFFFFFFu);
    for (const std::string_view text : {"4294967296", "-2147483649", "12a"}) {
        ExpectConversionError([&] { return ParseUInt32Text(text); },
                              "'" + std::string(text) + "' is not a valid integer value");
    }
}

TEST(ValueTextTest, LeadingInteger) {
    EXPECT_EQ(LeadingInteger("12abc"), 12);
    EXPECT_EQ(LeadingInteger("  -7x"), -7);
    EXPECT_EQ(LeadingInteger("abc"), 0);
    EXPECT_EQ(LeadingInteger("-"), 0);
    EXPECT_EQ(LeadingInteger("4294967296"), 4294967296);
    EXPECT_EQ(LeadingInteger("18446744073709551617"), 1);  // wraps, keeping the low bits
}

TEST(ValueTextTest, FloatTexts) {
    const struct {
        std::string_view text;
        double value;
    } cases[] = {{"-2.5", -2.5},  {"+0.5", 0.5}, {".5", 0.5},       {"5.", 5.0},
                 {"1E-3", 0.001}, {" 2 ", 2.0},  {"1.5e+2", 150.0}, {"1e-400", 0.0}};
    for (const auto& c : cases) EXPECT_EQ(ParseFloatText(c.text), c.value) << c.text;
    EXPECT_EQ(ParseFloatText("2,5", OtherLocale()), 2.5);
    EXPECT_EQ(ParseFloatText("2.5", OtherLocale()), 2.5);
    for (const std::string_view text :
         {"", "abc", "1e", "1.2.3", "1,5", "e5", "--1", "1e400", "nan", "inf", "0x10", "."}) {
        ExpectConversionError([&] { return ParseFloatText(text); },
                              "'" + std::string(text) + "' is not a valid floating point value");
    }
}

TEST(ValueTextTest, GeneralFloatForm) {
    const struct {
        double value;
        std::string_view text;
    } cases[] = {{1.0, "1"},
                 {0.5, "0.5"},
                 {3.14159265358979323846, "3.14159265358979"},
                 {1e20, "1E20"},
                 {1e-6, "1E-6"},
                 {-0.0, "0"},
                 {0.1 + 0.2, "0.3"},
                 {2.0 / 3.0, "0.666666666666667"},
                 {999999999999999.0, "999999999999999"},  // 15 digits before the separator
                 {1e15, "1E15"},                          // 16 digits
                 {123456789012345678.0, "1.23456789012346E17"},
                 {0.0001, "0.0001"},
                 {0.00001, "0.00001"},  // not below 0.00001
                 {0.0000099, "9.9E-6"},
                 {-1.5e-10, "-1.5E-10"},
                 {kNaN, "NAN"},
                 {-kInf, "-INF"}};
    for (const auto& c : cases) EXPECT_EQ(FormatGeneralFloat(c.value), c.text);
    EXPECT_EQ(FormatGeneralFloat(-1.5e-7, OtherLocale()), "-1,5E-7");
    EXPECT_EQ(FormatGeneralFloat(1234.5, OtherLocale()), "1234,5");
}

TEST(ValueTextTest, GeneralFloatReadsBackToFifteenDigits) {
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 2000; ++i) {
        const double value = mantissa(random) * std::pow(10.0, exponent(random));
        EXPECT_NEAR(ParseFloatText(FormatGeneralFloat(value)), value, std::fabs(value) * 1e-14);
    }
    // The largest doubles round up past the largest double at 15 digits; they still read back.
    const double largest = std::numeric_limits<double>::max();
    EXPECT_EQ(FormatGeneralFloat(largest), "1.79769313486232E308");
    EXPECT_EQ(ParseFloatText(FormatGeneralFloat(largest)), largest);
    EXPECT_EQ(ParseFloatText(FormatGeneralFloat(-largest)), -largest);
    ExpectConversionError([] { return ParseFloatText("1.79769313486233E308"); },
                          "'1.79769313486233E308' is not a valid floating point value");
}

TEST(ValueTextTest, DateTimeNumbers) {
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

TEST(ValueTextTest, DateTimeText) {
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

TEST(ValueTextTest, DateTimeTextsThatParse) {
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

TEST(ValueTextTest, DateTimeTextsThatAreRefused) {
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

TEST(ValueTextTest, DateTimeParserSurvivesRandomTexts) {
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

TEST(ValueTextTest, NowIsTheLocalTime) {
    const char* zone = std::getenv("TZ");
    const std::string saved = zone != nullptr ? zone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    const double expected = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
    EXPECT_NEAR(NowAsDateTime(), expected, 2.0 / 86400.0);
    zone != nullptr ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}

TEST(ValueTextTest, Addresses) {
    using Address = std::array<std::uint8_t, 4>;
    EXPECT_EQ(InetAddr("192.168.0.1"), (Address{192, 168, 0, 1}));
    EXPECT_EQ(InetAddr("255.255.255.255"), (Address{255, 255, 255, 255}));
    for (const std::string& text :
         {std::string(), std::string("not an address"), std::string("256.1.1.1"), std::string("1.2.3.4.5"),
          std::string("1.2.3.4\0junk", 12), std::string(100000, '1'), "1.2.3." + std::string(100000, '9')}) {
        EXPECT_FALSE(InetAddr(text).has_value()) << text.substr(0, 20);
    }
    EXPECT_EQ(DottedAddress({192, 168, 0, 32}), "192.168.0.32");
    EXPECT_EQ(DottedAddress({255, 0, 255, 0}), "255.0.255.0");
}

}  // namespace
