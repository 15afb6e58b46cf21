#include "vars/TextHelpers.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(TextHelpersTest, ReplaceAllFillsEveryPlaceholderOnce) {
    const std::tuple<const char*, const char*, const char*, const char*> rows[] = {
        {"[MIN] to [MAX], [MIN]", "[MIN]", "1", "1 to [MAX], 1"},
        {"[A]", "[A]", "[A][A]", "[A][A]"},  // replaced text is not searched again
        {"aaa", "aa", "b", "ba"},
        {"abc", "", "x", "abc"},
    };
    for (const auto& [text, placeholder, replacement, expected] : rows) {
        EXPECT_EQ(ReplaceAll(text, placeholder, replacement), expected) << text;
    }
}

TEST(TextHelpersTest, SplitTextKeepsEmptyPieces) {
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"a..b", {"old", "a", "", "b"}}, {"a.", {"old", "a", ""}}, {"", {"old"}}};
    for (const auto& [text, expected] : rows) {
        std::vector<std::string> pieces{"old"};
        SplitText(text, pieces, '.');
        EXPECT_EQ(pieces, expected) << text;
    }
}

TEST(TextHelpersTest, SpanOfCountsFromOne) {
    const std::tuple<const char*, std::size_t, std::size_t> rows[] = {
        {"12.34", 1, 2}, {"12.34", 2, 2}, {"12.34", 3, 0}, {"12.34", 4, 5}, {"12.34", 6, 0}, {"12.34", 0, 0}};
    for (const auto& [text, start, expected] : rows) {
        EXPECT_EQ(SpanOf(text, start, "0123456789"), expected) << text << " at " << start;
    }
}

}  // namespace
