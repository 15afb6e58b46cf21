#include "vars/Oid.h"

#include <gtest/gtest.h>

#include <vector>

#include "errors/OvException.h"

namespace {

TEST(OidTest, ParsesDottedDecimal) {
    const auto oid = Oid::Parse("192.168.0.4294967295");
    ASSERT_TRUE(oid.has_value());
    ASSERT_EQ(oid->Length(), 4u);
    EXPECT_EQ(oid->At(0), 192u);
    EXPECT_EQ(oid->At(3), 4294967295u);
    EXPECT_THROW((void)oid->At(4), OvException);
    ASSERT_TRUE(Oid::Parse("7").has_value());
    EXPECT_EQ(Oid::Parse("7")->Length(), 1u);
}

TEST(OidTest, RefusesEverythingElse) {
    // Empty text and pieces, signs, letters, blanks, more than 32 bits, a zero byte.
    const std::string_view bad[] = {"",
                                    ".",
                                    "1.",
                                    ".1",
                                    "1..2",
                                    "1.-2",
                                    "+1",
                                    "1.a",
                                    " 1",
                                    "1 ",
                                    "4294967296",
                                    "1.99999999999999999999",
                                    std::string_view("1\0.2", 4)};
    for (const std::string_view text : bad) {
        EXPECT_FALSE(Oid::Parse(text).has_value()) << text;
    }
}

}  // namespace
