// The client under a burst of answers: batches, the per-notification time budget, callbacks that
// run an event loop or destroy the client, and the size limit of a received datagram.
#include "ndcp/OvNDCPClient.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

#include "device/DeviceProfile.h"
#include "errors/Messages.h"
#include "ndcp/UdpTransport.h"
#include "testkit/AnswerBuilder.h"
#include "testkit/EventLoopWait.h"
#include "testkit/LoopbackResponder.h"
#include "vars/ValueCodec.h"

namespace {

// The device name of the i-th answering device.
std::string DeviceName(int i) { return "dev" + std::to_string(i); }

std::vector<std::uint8_t> DiscoveryAnswer(std::uint8_t sequence, int i) {
    const MacBytes mac = {
        0, 0x11, 0x22, 0x33, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
    return BuildAnswer(
        sequence, 0, mac,
        DiscoveryElements("KVX-770B", DeviceName(i), MacBytesToText(mac), "10.0.0.1", "255.0.0.0"));
}

class ClientBurstTest : public ::testing::Test {
protected:
    void SetUp() override {
        responder = std::make_unique<LoopbackResponder>();
        owner = std::make_unique<QObject>();
        StartClient(owner.get());
        ASSERT_NE(ClientInstance(), nullptr);
        parts = std::make_unique<OvNDCPResponseVarList>(kDiscoveryPartDefs);
        const NDCPVarDef discovery[] = {{0, "Discovery", 0, kReadable, nullptr, parts.get(), nullptr},
                                        {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
        vars.AddDefinitions(discovery);
    }

    void TearDown() override {
        owner.reset();
        responder.reset();
    }

    // Every Discover is answered by `count` devices at once, so that the whole burst waits on the
    // client's socket before the client reads any of it.
    void AnswerWith(int count) {
        responder->SetHandler([count](LoopbackResponder& r, const std::vector<std::uint8_t>& request) {
            for (int i = 1; i <= count; ++i) r.Reply(DiscoveryAnswer(request[kOffsetSequence], i));
        });
    }

    // Sends a Discover whose callback records the device names of successful answers, then runs
    // `during` inside each callback.
    void Discover(std::function<void()> during = {}, std::int32_t timeout = 50) {
        ClientInstance()->SendRequest(
            "FFFFFFFFFFFF", "kestu", vars, kDiscoverCommand,
            OvNDCPCallback([this, during](const OvNDCPError& outcome, const OvNDCPVarList& answer) {
                if (outcome.Code != kOk) {
                    ended = true;
                    return;
                }
                names.push_back(answer.Var(0).Parts->Part(1).Value);
                if (during) during();
            }),
            timeout);
    }

    [[nodiscard]] static std::vector<std::string> NamesUpTo(int count) {
        std::vector<std::string> expected;
        for (int i = 1; i <= count; ++i) expected.push_back(DeviceName(i));
        return expected;
    }

    std::unique_ptr<LoopbackResponder> responder;
    std::unique_ptr<QObject> owner;
    std::unique_ptr<OvNDCPResponseVarList> parts;
    OvNDCPVarList vars;
    std::vector<std::string> names;
    bool ended = false;
};

TEST_F(ClientBurstTest, BurstOfManyBatchesArrivesWholeAndInOrder) {
    AnswerWith(300);
    Discover();
    ASSERT_TRUE(ProcessEventsUntil([&] { return ended; }, 3000));
    EXPECT_EQ(names, NamesUpTo(300));
}

TEST_F(ClientBurstTest, BurstWhileTheEventLoopIsBlockedWaitsInMemoryNotInTheSocket) {
    // The responder answers on this thread, so the event loop is blocked for the whole burst of
    // about 200 ms, more than ten times what the socket's buffer holds: only a reader that takes
    // the datagrams off the socket meanwhile keeps them all.
    if (!UdpTransportHasReader()) GTEST_SKIP() << "this transport reads on the event loop's thread";
    constexpr int kAnswers = 2000;
    constexpr int kReceiveBuffer = 64 * 1024;
    owner = std::make_unique<QObject>();
    ClientEnvironment environment = RealEnvironment();
    environment.receiveBuffer = kReceiveBuffer;
    StartClient(owner.get(), environment);
    EXPECT_EQ(ClientInstance()->ReceiveBufferSize(), 2 * kReceiveBuffer)
        << "the system doubles what it grants";
    responder->SetHandler([](LoopbackResponder& r, const std::vector<std::uint8_t>& request) {
        for (int i = 1; i <= kAnswers; ++i) {
            r.Reply(DiscoveryAnswer(request[kOffsetSequence], i));
            if (i % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    // A time-out long enough for a slow build to send the whole burst; the test ends with the last
    // answer.
    Discover({}, 1000);
    ProcessEventsUntil([&] { return names.size() >= static_cast<std::size_t>(kAnswers); }, 10000);
    EXPECT_EQ(names, NamesUpTo(kAnswers));
    ClientInstance()->SetDestructionWait(std::chrono::milliseconds(0));
}

TEST_F(ClientBurstTest, EventLoopRunsBetweenSlicesOfASlowBurst) {
    // Each answer costs 1 ms to handle, so the burst takes about 80 ms of handling: a timer must
    // get its turn in between, not only before and after.
    AnswerWith(80);
    std::vector<std::size_t> seenAtTicks;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] { seenAtTicks.push_back(names.size()); });
    tick.start();
    Discover([] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    ASSERT_TRUE(ProcessEventsUntil([&] { return ended; }, 3000));
    tick.stop();
    EXPECT_EQ(names, NamesUpTo(80));
    const bool midBurst = std::any_of(seenAtTicks.begin(), seenAtTicks.end(),
                                      [](std::size_t seen) { return seen > 0 && seen < 80; });
    EXPECT_TRUE(midBurst) << "no timer tick while the burst was being handled";
}

TEST_F(ClientBurstTest, CallbackRunningAnEventLoopKeepsTheOrderOfArrival) {
    // The first callback runs a nested event loop, in which the client reads on: answers already
    // taken from the socket by the outer reading must still come before the later ones.
    AnswerWith(40);
    bool nested = false;
    Discover([&] {
        if (nested) return;
        nested = true;
        ProcessEventsFor(100);
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return ended; }, 3000));
    EXPECT_EQ(names, NamesUpTo(40));
}

TEST_F(ClientBurstTest, ClientDestroyedByACallbackInTheMiddleOfABatch) {
    // Two Gets answered in one burst; the first callback destroys the client. Its destruction
    // waits for the second Get, whose answer, already taken in the same batch, completes it; then
    // the reading ends without touching the client again.
    responder->SetHandler([](LoopbackResponder& r, const std::vector<std::uint8_t>& request) {
        const MacBytes mac = {0, 0x11, 0x22, 0x33, 0x44, 0x55};
        r.Reply(BuildAnswer(request[kOffsetSequence], 0, mac, {{3, kIpAddress, "10.0.0.9"}}));
    });
    const NDCPVarDef ipDefs[] = {{3, "IP Address", kIpAddress, kReadable, nullptr, nullptr, nullptr},
                                 {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
    const OvNDCPVarList ipVars(ipDefs);
    std::vector<std::uint8_t> completed;
    QElapsedTimer destruction;
    qint64 destructionMs = -1;
    const auto record = [&](const OvNDCPError& outcome, const OvNDCPVarList&) {
        completed.push_back(outcome.Sequence);
        if (completed.size() > 1) return;
        destruction.start();
        owner.reset();
        destructionMs = destruction.elapsed();
    };
    const std::uint8_t first =
        ClientInstance()->SendRequest("001122334455", "", ipVars, kGetCommand, OvNDCPCallback(record), 100);
    const std::uint8_t second =
        ClientInstance()->SendRequest("001122334455", "", ipVars, kGetCommand, OvNDCPCallback(record), 100);
    ASSERT_TRUE(ProcessEventsUntil([&] { return destructionMs >= 0; }, 3000));
    EXPECT_EQ(completed, (std::vector<std::uint8_t>{first, second}));
    EXPECT_LT(destructionMs, 900) << "the second Get was not answered during the destruction";
    EXPECT_EQ(ClientInstance(), nullptr);
}

// An answer to a Get of "IP Address" padded by a display string element to exactly `size` bytes;
// its total length field says `lengthField`.
std::vector<std::uint8_t> PaddedAnswer(std::uint8_t sequence, std::size_t size, std::size_t lengthField) {
    const MacBytes mac = {0, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::vector<std::uint8_t> answer = BuildAnswer(sequence, 0, mac, {{3, kIpAddress, "10.0.0.9"}});
    const std::size_t filler = size - answer.size() - kElementHeaderSize;
    answer.push_back(99);
    answer.push_back(static_cast<std::uint8_t>((filler + kElementHeaderSize) >> 8));
    answer.push_back(static_cast<std::uint8_t>((filler + kElementHeaderSize) & 0xFF));
    answer.resize(size, 'x');
    answer[kOffsetTotalLength] = static_cast<std::uint8_t>(lengthField >> 8);
    answer[kOffsetTotalLength + 1] = static_cast<std::uint8_t>(lengthField & 0xFF);
    return answer;
}

TEST_F(ClientBurstTest, DatagramsUpToTheAnswerBufferAreTakenLongerOnesDropped) {
    const struct {
        const char* name;
        std::size_t size;
        std::size_t lengthField;
        int expectedCode;
    } cases[] = {
        {"exactly the buffer", kReceiveBufferSize, kReceiveBufferSize, kOk},
        // Cut to the buffer, this datagram would look whole: it must be dropped, not cut.
        {"one byte more, length field of a full buffer", kReceiveBufferSize + 1, kReceiveBufferSize,
         kConnectionTimeout},
    };
    const NDCPVarDef ipDefs[] = {{3, "IP Address", kIpAddress, kReadable, nullptr, nullptr, nullptr},
                                 {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
    const OvNDCPVarList ipVars(ipDefs);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        responder->SetHandler([&c](LoopbackResponder& r, const std::vector<std::uint8_t>& request) {
            r.Reply(PaddedAnswer(request[kOffsetSequence], c.size, c.lengthField));
        });
        std::vector<int> codes;
        std::string ip;
        ClientInstance()->SendRequest(
            "001122334455", "", ipVars, kGetCommand,
            OvNDCPCallback([&](const OvNDCPError& outcome, const OvNDCPVarList& answer) {
                codes.push_back(outcome.Code);
                ip = answer.Var(0).Value;
            }),
            20);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !codes.empty(); }, 2000));
        EXPECT_EQ(codes, std::vector<int>{c.expectedCode});
        EXPECT_EQ(ip, c.expectedCode == kOk ? "10.0.0.9" : "");
    }
}

}  // namespace
