#include "ndcp-sim/SimTiming.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace ndcpsim {
namespace {

using std::chrono::microseconds;

TEST(AnswerOffsetsTest, DelayAndGap) {
    std::mt19937 random(1);
    EXPECT_EQ(AnswerOffsets(2, {250, 0, 0}, random), std::vector(2, microseconds(250000)));
    EXPECT_EQ(AnswerOffsets(3, {1, 0, 40}, random),
              (std::vector{microseconds(1000), microseconds(1040), microseconds(1080)}));
    EXPECT_TRUE(AnswerOffsets(0, {5, 5, 5}, random).empty());
}

TEST(AnswerOffsetsTest, JitterStaysWithinItsRangeAndVaries) {
    std::mt19937 random(7);
    const auto offsets = AnswerOffsets(1000, {10, 5, 0}, random);
    const auto [low, high] = std::minmax_element(offsets.begin(), offsets.end());
    EXPECT_GE(*low, microseconds(10000));
    EXPECT_LE(*high, microseconds(15000));
    EXPECT_GT(std::set(offsets.begin(), offsets.end()).size(), 100u);
}

}  // namespace
}  // namespace ndcpsim
