#include "vars/FloatText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <string_view>

#include "TextTestHelpers.h"

namespace {

TEST(FloatTextTest, FloatTexts) {
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
        EXPECT_FALSE(TryParseFloatText(text).has_value()) << text;
        ExpectConversionError([&] { return ParseFloatText(text); },
                              "'" + std::string(text) + "' is not a valid floating point value");
    }
}

TEST(FloatTextTest, GeneralFloatForm) {
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

TEST(FloatTextTest, GeneralFloatReadsBackToFifteenDigits) {
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

}  // namespace
