#include "vars/IntegerText.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "TextTestHelpers.h"

namespace {

TEST(IntegerTextTest, Int32Texts) {
    EXPECT_EQ(ParseInt32Text("-0"), 0);
    EXPECT_EQ(ParseInt32Text("+5"), 5);
    EXPECT_EQ(ParseInt32Text("007"), 7);
    EXPECT_EQ(ParseInt32Text("2147483647"), 2147483647);
    EXPECT_EQ(ParseInt32Text("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(TryParseInt32Text("-12"), -12);
    for (const std::string_view text : {"", "+", "-", "abc", "1.5", " 1", "1 ", "0x10", "2147483648",
                                        "-2147483649", "4294967295", "99999999999999999999999"}) {
        EXPECT_FALSE(TryParseInt32Text(text).has_value()) << text;
        ExpectConversionError([&] { return ParseInt32Text(text); },
                              "'" + std::string(text) + "' is not a valid integer value");
    }
}

TEST(IntegerTextTest, UnsignedTextsAlsoTakeTheUpperHalf) {
    EXPECT_EQ(ParseUInt32Text("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseUInt32Text("2147483648"), 0x80000000u);
    EXPECT_EQ(ParseUInt32Text("-1"), 0xFFFFFFFFu);
    for (const std::string_view text : {"4294967296", "-2147483649", "12a"}) {
        ExpectConversionError([&] { return ParseUInt32Text(text); },
                              "'" + std::string(text) + "' is not a valid integer value");
    }
}

TEST(IntegerTextTest, LeadingInteger) {
    EXPECT_EQ(LeadingInteger("12abc"), 12);
    EXPECT_EQ(LeadingInteger("  -7x"), -7);
    EXPECT_EQ(LeadingInteger("abc"), 0);
    EXPECT_EQ(LeadingInteger("-"), 0);
    EXPECT_EQ(LeadingInteger("4294967296"), 4294967296);
    EXPECT_EQ(LeadingInteger("18446744073709551617"), 1);  // wraps, keeping the low bits
}

}  // namespace
