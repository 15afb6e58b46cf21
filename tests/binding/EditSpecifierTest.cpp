#include "binding/EditSpecifier.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "errors/Messages.h"
#include "errors/OvException.h"

namespace {

constexpr char kBadSpecifier[] = "Bad format specifier of edit's constraint!";

struct GoodSpec {
    const char* name;
    const char* specifier;
    char conversion;
    char delimiter;
    double min;
    double max;
    int maxLen;
    int flags;
    char advance;
    int width;
};

// Rows from the Set IP dialog, the defaults of every conversion, and the directive rules.
const GoodSpec kGoodSpecs[] = {
    {"ip_field", "%u{w36n0x255l3ae.}", 'u', 0, 0, 255, 3, 1, '.', 36},
    {"password", "%s{l12a}", 's', 0, 0, 0, 12, 1, 0, 0},
    {"u_defaults", "%u", 'u', 0, 0, 4294967295.0, 0, 0, 0, 0},
    {"i_defaults", "%i", 'i', 0, -2147483648.0, 2147483647.0, 0, 0, 0, 0},
    {"f_defaults_every_finite_number", "%f", 'f', 0, -DBL_MAX, DBL_MAX, 0, 0, 0, 0},
    {"n_defaults", "%n.", 'n', '.', 0, 4294967295.0, 0, 0, 0, 0},
    {"n_delimiter_may_be_a_brace", "%n{", 'n', '{', 0, 4294967295.0, 0, 0, 0, 0},
    {"n_fixed_count", "%n.{l3f}", 'n', '.', 0, 4294967295.0, 3, 2, 0, 0},
    {"all_three_flags", "%h{l4afn}", 'h', 0, 0, 0, 4, 7, 0, 0},
    {"repeated_flag_adds_again", "%s{l5aa}", 's', 0, 0, 0, 5, 2, 0, 0},
    {"at_most_three_flag_letters", "%s{l5aaaw9}", 's', 0, 0, 0, 5, 3, 0, 9},
    {"signed_fraction_bounds", "%f{n-1.5x2.25}", 'f', 0, -1.5, 2.25, 0, 0, 0, 0},
    {"advance_char_may_be_a_brace", "%u{e}}", 'u', 0, 0, 4294967295.0, 0, 0, '}', 0},
};

TEST(EditSpecifierTest, ReadsDirectivesAndDefaults) {
    for (const GoodSpec& row : kGoodSpecs) {
        SCOPED_TRACE(row.name);
        const EditSpecifier rules = ParseEditSpecifier(row.specifier);
        EXPECT_EQ(rules.Conversion, row.conversion);
        EXPECT_EQ(rules.Delimiter, row.delimiter);
        EXPECT_EQ(rules.MinValue, row.min);
        EXPECT_EQ(rules.MaxValue, row.max);
        EXPECT_EQ(rules.MaxLen, row.maxLen);
        EXPECT_EQ(rules.Flags, row.flags);
        EXPECT_EQ(rules.AdvanceChar, row.advance);
        EXPECT_EQ(rules.Width, row.width);
    }
}

struct BadSpec {
    const char* specifier;
    const char* reason;
};

const BadSpec kBadSpecs[] = {
    {"", "too short"},
    {"%", "too short"},
    {"u", "no leading %"},
    {"%x", "unknown conversion"},
    {"%%", "unknown conversion"},
    {"%n", "n without delimiter"},
    {"%u{w36", "no closing brace"},
    {"%u}", "no opening brace"},
    {"%ux", "text after the conversion"},
    {"%u{q}", "unknown directive"},
    {"%u{w}", "w without digits"},
    {"%u{l}", "l without digits"},
    {"%u{n}", "n without number"},
    {"%u{x}", "x without number"},
    {"%u{e}", "e directly before the closing brace"},
    {"%u{l3ae}", "e directly before the closing brace"},
};

TEST(EditSpecifierTest, RefusesBrokenGrammarWithCodeMinus2) {
    for (const BadSpec& row : kBadSpecs) {
        SCOPED_TRACE(std::string(row.specifier) + ": " + row.reason);
        try {
            (void)ParseEditSpecifier(row.specifier);
            ADD_FAILURE() << "accepted";
        } catch (const OvException& e) {
            EXPECT_EQ(e.Code(), -2);
            EXPECT_STREQ(e.what(), kBadSpecifier);
        }
    }
}

TEST(EditSpecifierTest, PassesOnConversionErrorsOfNumbers) {
    for (const char* specifier : {"%u{w99999999999}", "%u{n-}", "%u{x1.2.3}"}) {
        SCOPED_TRACE(specifier);
        try {
            (void)ParseEditSpecifier(specifier);
            ADD_FAILURE() << "accepted";
        } catch (const OvException& e) {
            EXPECT_EQ(e.Code(), kUnknownError);  // the parsers' own error, not the grammar's
        }
    }
}

struct FilterRow {
    const char* name;
    const char* specifier;
    const char* typed;
    const char* kept;
};

const FilterRow kFilterRows[] = {
    {"u_digits_only", "%u", "12a3", "123"},       {"i_minus_after_digit", "%i", "5-", "5"},
    {"i_second_minus", "%i", "--5", "-5"},        {"i_minus_first_once_letter_gone", "%i", "a-5", "-5"},
    {"f_second_point", "%f", "1.5.", "1.5"},      {"h_hex_digits", "%h", "0aFg9G", "0aF9"},
    {"n_no_leading_delimiter", "%n.", ".1", "1"}, {"n_no_double_delimiter", "%n.", "1..2", "1.2"},
    {"s_everything", "%s", "a-.% ~", "a-.% ~"},
};

TEST(EditSpecifierTest, FiltersCharactersByConversion) {
    for (const FilterRow& row : kFilterRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FilterEditText(ParseEditSpecifier(row.specifier), QString::fromUtf8(row.typed)),
                  QString::fromUtf8(row.kept));
    }
}

struct CheckRow {
    const char* name;
    const char* specifier;
    const char* text;
    const char* message;  // nullptr: accepted
};

const CheckRow kCheckRows[] = {
    {"ip_too_big", "%u{w36n0x255l3ae.}", "300", "Please enter a number between 0 and 255!"},
    {"i_default_range_end", "%i", "2147483648", "Please enter a number between -2147483648 and 2147483647!"},
    {"i_sign_only_reads_zero", "%i{n1}", "-", "Please enter a number between 1 and 2147483647!"},
    {"f_zero_accepted", "%f", "0", nullptr},
    {"f_bounds_in_general_form", "%f{n0.5x2}", "3", "Please enter a number between 0.5 and 2!"},
    {"s_too_long", "%s{l12a}", "abcdefghijklm", "Please enter a string whose length is less than 12!"},
    {"s_fixed", "%s{l4f}", "abc", "Please enter a string whose length is 4!"},
    {"h_too_long", "%h{l4}", "ABCDE", "Please enter a hex string whose length is less than 4!"},
    {"h_fixed", "%h{l4f}", "ABC", "Please enter a hex string whose length is 4!"},
    {"n_count_fixed", "%n.{l3f}", "1.2",
     "Please enter a delimited number string with delimiter '.'.\nHere,the count of the number is equal to "
     "3!"},
    {"n_count_limit", "%n.{l3}", "1.2.3.4",
     "Please enter a delimited number string with delimiter '.'.\nHere,the count of the number is less than "
     "3!"},
    {"n_number_range", "%n.{n0x255}", "1.256",
     "Please enter a delimited number string with delimiter '.'.\nHere,each number is between 0 and 255!"},
    {"n_any_count", "%n,", "1,2,3,4,5,4294967295", nullptr},
    {"n_negative_bound_clamps_to_zero", "%n.{n-5x10}", "11",
     "Please enter a delimited number string with delimiter '.'.\nHere,each number is between 0 and 10!"},
};

TEST(EditSpecifierTest, ChecksTextOnExit) {
    for (const CheckRow& row : kCheckRows) {
        SCOPED_TRACE(row.name);
        const std::optional<std::string> rejection =
            RejectionOf(ParseEditSpecifier(row.specifier), QString::fromUtf8(row.text));
        if (row.message == nullptr) {
            EXPECT_EQ(rejection, std::nullopt);
        } else {
            EXPECT_EQ(rejection, row.message);
        }
    }
}

TEST(EditSpecifierTest, NumbersBeyondDoubleAreOutOfRange) {
    EXPECT_EQ(RejectionOf(ParseEditSpecifier("%u"), QString(400, QLatin1Char('9'))),
              "Please enter a number between 0 and 4294967295!");
    EXPECT_EQ(LeadingNumber("-" + std::string(400, '9')), -INFINITY);
    EXPECT_EQ(LeadingNumber("0." + std::string(400, '0') + "1"), 0.0);
}

}  // namespace
