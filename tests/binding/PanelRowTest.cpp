#include "binding/format/PanelRow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

PanelItem L(const char* text) { return {PanelItem::Kind::Literal, text}; }
PanelItem S(const char* text) { return {PanelItem::Kind::Specifier, text}; }

struct RowCase {
    const char* name;
    const char* format;
    std::vector<PanelItem> row;
};

// How a specifier ends: at its conversion letter, after the delimiter of "n", at the brace that
// closes its directives, at the next "%" (which then starts the following text) or at the end.
const RowCase kRows[] = {
    {"empty", "", {}},
    {"literal_only", "abc", {L("abc")}},
    {"set_ip_row", "%u{w36}.%u{w36}", {S("%u{w36}"), L("."), S("%u{w36}")}},
    {"caption_then_edits", "IP %u.%u", {L("IP "), S("%u"), L("."), S("%u")}},
    {"doubled_percent_is_text", "a%%b%u", {L("a%b"), S("%u")}},
    {"only_doubled_percent", "%%", {L("%")}},
    {"lone_percent_at_end_is_nothing", "abc%", {L("abc")}},
    {"lone_percent", "%", {}},
    {"percent_ends_unclosed_braces", "%u{w36%u", {S("%u{w36"), S("%u")}},
    {"letter_without_braces_ends", "%uab", {S("%u"), L("ab")}},
    {"delimiter_at_end", "%n.", {S("%n.")}},
    {"delimiter_may_be_a_brace", "%n{l3}", {S("%n{"), L("l3}")}},
    {"delimiter_then_directives", "%n.{l3f}x", {S("%n.{l3f}"), L("x")}},
    {"nested_braces", "%u{{}}z", {S("%u{{}}"), L("z")}},
    {"unknown_letter_runs_to_end", "%x1", {S("%x1")}},
};

TEST(PanelRowTest, ReadsLiteralsAndSpecifiersInOrder) {
    for (const RowCase& c : kRows) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParsePanelRow(c.format), c.row);
    }
}

TEST(PanelRowTest, SplitsFormatsOfSpecifiersAtEachPercent) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"", {}},
        {"%", {}},
        {"%u%s{l12a}", {"%u", "%s{l12a}"}},
        {"ab%u", {"ab", "%u"}},
        {"%u%", {"%u"}},
        {"%%u", {"%", "%u"}},
    };
    for (const auto& [format, specifiers] : cases) EXPECT_EQ(SplitSpecifiers(format), specifiers) << format;
}

}  // namespace
