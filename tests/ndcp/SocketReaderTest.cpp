// The reader's queue: datagrams of several sockets put in order of arrival, and handed out whole.
#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "ndcp/SocketReader.h"

namespace {

// Each datagram is one byte, its number; the arrival times as given.
DatagramQueue QueueOf(const std::vector<std::int64_t>& arrivals) {
    DatagramQueue queue;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const std::uint8_t number = static_cast<std::uint8_t>(i);
        queue.Append(std::span(&number, 1), {0x0A000001, 64512, 2, arrivals[i]});
    }
    return queue;
}

std::vector<int> HandOut(DatagramQueue& queue, std::size_t count) {
    std::array<std::uint8_t, kSlotSize> slot{};
    std::vector<int> numbers;
    for (std::size_t i = 0; i < count && !queue.Empty(); ++i)
        numbers.push_back(queue.TakeInto(slot, "").bytes[0]);
    return numbers;
}

TEST(DatagramQueueTest, SortsWhatIsNotHandedOutByArrivalKeepingTheOrderOfEqualTimes) {
    struct Case {
        std::vector<std::int64_t> arrivals;
        std::size_t handedOutFirst;
        std::vector<int> rest;
    };
    const Case cases[] = {
        {{30, 10, 20, 10}, 0, {1, 3, 2, 0}},
        {{5, 5, 5}, 0, {0, 1, 2}},
        {{40, 10, 30, 20}, 1, {1, 3, 2}},  // the one handed out stays out
        {{}, 0, {}},
    };
    for (const Case& c : cases) {
        DatagramQueue queue = QueueOf(c.arrivals);
        HandOut(queue, c.handedOutFirst);
        queue.SortByArrival();
        DatagramQueue copy;
        copy.AppendFrom(queue);
        EXPECT_EQ(HandOut(copy, 10), c.rest);
        EXPECT_EQ(HandOut(queue, 10), c.rest);
    }
}

TEST(DatagramQueueTest, HandsOverWhatArrivedByATimeAndHoldsBackTheRest) {
    DatagramQueue held = QueueOf({10, 20, 20, 30});
    DatagramQueue taken;
    held.HandOverArrivedBy(5, taken);
    EXPECT_TRUE(taken.Empty());
    held.HandOverArrivedBy(20, taken);
    EXPECT_EQ(HandOut(taken, 10), std::vector<int>({0, 1, 2}));
    EXPECT_EQ(held.Size(), 1u);
    held.HandOverArrivedBy(std::numeric_limits<std::int64_t>::max(), taken);
    EXPECT_EQ(HandOut(taken, 10), std::vector<int>({3}));
    EXPECT_TRUE(held.Empty());
}

TEST(DatagramQueueTest, HandsOutTheBytesAndOriginOfEachDatagram) {
    DatagramQueue queue;
    const std::uint8_t first[] = {1, 2, 3};
    const std::uint8_t second[] = {9};
    queue.Append(first, {0x0A000001, 64512, 7, 1});
    queue.Append(second, {0xC0A80002, 1024, 8, 2});
    std::array<std::uint8_t, kSlotSize> slot{};
    const ReceivedDatagram a = queue.TakeInto(slot, "0.0.0.0");
    EXPECT_EQ(std::vector(a.bytes.begin(), a.bytes.end()), std::vector<std::uint8_t>({1, 2, 3}));
    EXPECT_EQ(a.sourceAddress, 0x0A000001u);
    EXPECT_EQ(a.sourcePort, 64512);
    EXPECT_EQ(a.adapterIndex, 7u);
    EXPECT_EQ(a.endpoint, "0.0.0.0");
    const ReceivedDatagram b = queue.TakeInto(slot, "0.0.0.0");
    EXPECT_EQ(b.bytes.size(), 1u);
    EXPECT_EQ(b.sourcePort, 1024);
    EXPECT_EQ(b.adapterIndex, 8u);
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(queue.ByteCount(), 4u);
}

}  // namespace
