#include "ndcp-sim/SimFlood.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "SimTestSupport.h"

namespace ndcpsim {
namespace {

using namespace std::chrono_literals;
using std::chrono::microseconds;
using Bytes = std::vector<std::uint8_t>;

struct PaceCase {
    std::string name;
    microseconds duration;
    std::uint32_t rate;
    microseconds elapsed;
    std::uint64_t due;
};
void PrintTo(const PaceCase& c, std::ostream* os) { *os << c.name; }

class FloodPaceTest : public testing::TestWithParam<PaceCase> {};

TEST_P(FloodPaceTest, DueByElapsed) {
    const PaceCase& c = GetParam();
    EXPECT_EQ(FloodDueBy(c.elapsed, c.duration, c.rate), c.due);
}

INSTANTIATE_TEST_SUITE_P(Pace, FloodPaceTest,
                         testing::Values(PaceCase{"nothing_before_the_start", 500ms, 2000, -1us, 0},
                                         PaceCase{"first_at_the_start", 500ms, 2000, 0us, 1},
                                         PaceCase{"not_ahead_of_its_time", 500ms, 2000, 499us, 1},
                                         PaceCase{"last_just_before_the_end", 500ms, 2000, 499500us, 1000},
                                         PaceCase{"no_more_after_the_end", 500ms, 2000, 10s, 1000},
                                         PaceCase{"part_interval_at_the_end_counts", 1500ms, 1, 1h, 2},
                                         PaceCase{"shorter_than_one_interval", 1us, 1, 1s, 1},
                                         PaceCase{"a_day_at_the_highest_rate", 86400s, 1000000, 86400s,
                                                  86400000000}),
                         [](const testing::TestParamInfo<PaceCase>& info) { return info.param.name; });

// The loop sleeps until FloodDueAt and then asks FloodDueBy; if they disagree the flood either sends
// early or wakes without anything to send.
TEST(FloodPaceTest, DueAtAgreesWithDueBy) {
    for (const std::uint32_t rate : {1u, 3u, 7u, 2000u, 5000u, 999983u, 1000000u}) {
        SCOPED_TRACE("rate " + std::to_string(rate));
        for (std::uint64_t i = 0; i < 3000; ++i) {
            const microseconds at = FloodDueAt(i, rate);
            ASSERT_EQ(FloodDueBy(at, 24h, rate), i + 1) << i;
            if (i > 0) {
                ASSERT_EQ(FloodDueBy(at - 1us, 24h, rate), i) << i;
            }
        }
    }
}

TEST(FloodPickTest, KindsCycleFastestThenDevices) {
    std::vector<std::pair<std::size_t, std::size_t>> order;
    for (std::uint64_t i = 0; i < 7; ++i)
        order.emplace_back(FloodPickAt(i, 3, 2).kind, FloodPickAt(i, 3, 2).device);
    EXPECT_EQ(order, (std::vector<std::pair<std::size_t, std::size_t>>{
                         {0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 0}}));
}

const SimFlood::Clock::time_point kStart{100s};

SimRequest Header(std::uint8_t command, std::uint8_t sequence) {
    SimRequest request;
    request.command = command;
    request.sequence = sequence;
    return request;
}

TEST(SimFloodTest, StartsOnTheFirstRequestAndFollowsTheLatest) {
    SimFlood flood({500ms, 2000, {MalformedKind::kShort}, 2});
    EXPECT_EQ(flood.Due(kStart), 0u) << "nothing before a request";
    EXPECT_FALSE(flood.Finish(kStart, true)) << "a flood that never started does not end";

    EXPECT_TRUE(flood.Aim({{127, 0, 0, 1}, 1000}, Header(1, 7), kStart));
    EXPECT_FALSE(flood.Aim({{127, 0, 0, 1}, 2000}, Header(5, 9), kStart + 300ms)) << "no restart";
    EXPECT_EQ(flood.Target().port, 2000);
    EXPECT_EQ(flood.Request().command, 5);
    EXPECT_EQ(flood.Request().sequence, 9);
    EXPECT_EQ(flood.End(), kStart + 500ms) << "the time counts from the first request";

    EXPECT_EQ(flood.Due(kStart), 1u);
    EXPECT_EQ(flood.Due(kStart), 1u) << "stays due until handed over";
    flood.Handed(true);
    EXPECT_EQ(flood.Due(kStart + 2ms), 4u);
    for (int i = 0; i < 4; ++i) flood.Handed(i != 0);
    EXPECT_EQ(flood.Sent(), 4u);
    EXPECT_EQ(flood.Failed(), 1u);

    EXPECT_FALSE(flood.Finish(kStart + 499ms, false));
    EXPECT_TRUE(flood.Finish(kStart + 500ms, false));
    EXPECT_FALSE(flood.Finish(kStart + 500ms, true)) << "ends once";
    EXPECT_EQ(flood.Due(kStart + 1s), 0u);
    EXPECT_FALSE(flood.Aim({{127, 0, 0, 1}, 1000}, Header(1, 8), kStart + 2s));
    EXPECT_EQ(flood.Due(kStart + 2s), 0u) << "no second flood";
}

TEST(SimFloodTest, FallingBehindLeavesTheOlderOnesOut) {
    SimFlood flood({2s, 10000, {MalformedKind::kShort}, 1});
    ASSERT_TRUE(flood.Aim({}, Header(1, 1), kStart));
    EXPECT_EQ(flood.Due(kStart + 1s), kMaxFloodBacklog) << "10001 were due";
    for (std::uint64_t i = 0; i < kMaxFloodBacklog; ++i) flood.Handed(true);
    EXPECT_EQ(flood.Due(kStart + 1s), 0u);
    EXPECT_EQ(flood.Due(kStart + 1s + 100us), 1u) << "back on the pace";
    EXPECT_EQ(flood.Due(kStart + 1h), kMaxFloodBacklog) << "never more than all";
    for (std::uint64_t i = 0; i < kMaxFloodBacklog; ++i) flood.Handed(true);
    EXPECT_TRUE(flood.Finish(kStart + 1h, false));
    EXPECT_EQ(flood.Sent(), 2 * kMaxFloodBacklog);
}

TEST(SimFloodTest, WakesForSeveralAtHighRatesAndAtTheEndLast) {
    SimFlood slow({1s, 100, {MalformedKind::kShort}, 1});
    ASSERT_TRUE(slow.Aim({}, Header(1, 1), kStart));
    slow.Handed(true);
    EXPECT_EQ(slow.NextDue(), kStart + 10ms);

    SimFlood fast({500ms, 5000, {MalformedKind::kShort}, 1});
    ASSERT_TRUE(fast.Aim({}, Header(1, 1), kStart));
    EXPECT_EQ(fast.NextDue(), kStart + 800us) << "the fifth datagram's time: a millisecond's worth";
    for (int i = 0; i < 2498; ++i) fast.Handed(true);
    EXPECT_EQ(fast.NextDue(), kStart + 499800us) << "the last one's time";
    fast.Handed(true);
    fast.Handed(true);
    EXPECT_EQ(fast.NextDue(), kStart + 500ms);
}

TEST(SimFloodTest, BuildsGenuineDiscoverValuesOfEachDeviceInTurn) {
    std::vector<SimDevice> devices = {DerivedDevice(1, "KVX-770B", "admin"),
                                      DerivedDevice(2, "KVX-770B", "admin")};
    SimFlood flood({1s, 1000, {MalformedKind::kShort, MalformedKind::kQuotes, MalformedKind::kMac}, 2});
    ASSERT_TRUE(flood.Aim({}, Header(kGet, 0x21), kStart));
    flood.Handed(true);
    devices[1].ip = {10, 0, 0, 9};  // as a Set leaves it

    std::vector<std::string> order;
    for (std::uint64_t offset = 0; offset < 6; ++offset) {
        const Outgoing out = flood.Build(offset, devices);
        order.push_back(std::string(out.kind) + "@" + std::to_string(out.device));
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"quotes@0", "mac@0", "short@1", "quotes@1", "mac@1", "short@0"}));

    const Outgoing quotes = flood.Build(3, devices);
    const Bytes& d = quotes.datagram;
    ASSERT_EQ(d.size(), 84u);
    EXPECT_EQ(Bytes(d.begin() + 4, d.begin() + 6), simtest::Hex("0521")) << "command and sequence";
    EXPECT_EQ(d[10], 0x10) << "status 0";
    EXPECT_EQ(Bytes(d.begin() + 28, d.begin() + 34), simtest::Hex("001122334402"));
    const Bytes ip = simtest::Element(3, simtest::Hex("0A000009"));
    EXPECT_NE(std::search(d.begin(), d.end(), ip.begin(), ip.end()), d.end()) << "the device's values now";
    Bytes reauthenticated = d;
    simtest::Authenticate(reauthenticated, "kestu");
    EXPECT_EQ(reauthenticated, d) << "authenticated with the default password";
}

}  // namespace
}  // namespace ndcpsim
