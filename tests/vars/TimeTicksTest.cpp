#include "vars/TimeTicks.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kDay = 8640000;

TEST(TimeTicksTest, TextFormBothWays) {
    const struct {
        std::uint32_t value;
        std::string_view text;
    } cases[] = {{0, "0:00:00.00"},
                 {744405, "2:04:04.05"},
                 {kDay - 1, "23:59:59.99"},
                 {kDay, "1 day 0:00:00.00"},
                 {9378405, "1 day 2:03:04.05"},
                 {9012345, "1 day 1:02:03.45"},
                 {2 * kDay, "2 days, 0:00:00.00"},
                 {4294967295u, "497 days, 2:27:52.95"}};
    for (const auto& c : cases) {
        EXPECT_EQ(TimeTicks(c.value).ToText(), c.text);
        EXPECT_EQ(TimeTicks::FromText(c.text).Value(), c.value) << c.text;
    }
    for (std::uint64_t v = 0; v <= 0xFFFFFFFFu; v += 7777777) {
        const auto value = static_cast<std::uint32_t>(v);
        EXPECT_EQ(TimeTicks::FromText(TimeTicks(value).ToText()).Value(), value);
    }
}

TEST(TimeTicksTest, MissingPiecesCountZeroAndCountsWrap) {
    const struct {
        std::string_view text;
        std::uint32_t value;
    } cases[] = {{"", 0},
                 {"garbage", 0},
                 {"3 days", 3 * kDay},
                 {"2:03:04", 738400},
                 {"0:01:00.5", 6005},
                 {"10 days 1:00:00.00", 10 * kDay + 360000},
                 {"500 days, 0:00:00.00", static_cast<std::uint32_t>(500ull * kDay)}};
    for (const auto& c : cases) EXPECT_EQ(TimeTicks::FromText(c.text).Value(), c.value) << c.text;
}

}  // namespace
