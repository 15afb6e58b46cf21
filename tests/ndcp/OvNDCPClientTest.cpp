#include "OvNDCPClient.h"

#include <iostream>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QObject>

#include <gtest/gtest.h>

#include "AnswerBuilder.h"
#include "DeviceProfile.h"
#include "EventLoopWait.h"
#include "LoopbackResponder.h"
#include "Messages.h"
#include "NetworkSetting.h"
#include "OvException.h"
#include "OvNDCPDevice.h"
#include "VarTypes.h"

namespace {

constexpr MacBytes kDeviceMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
constexpr const char* kDeviceMacText = "001122334455";

// Whether this process may set a receive buffer past the system's limit, as the client tries to.
bool MayForceReceiveBuffer() {
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int bytes = OvNDCPClient::kRequestedReceiveBuffer;
    const bool forced = ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0;
    ::close(descriptor);
    return forced;
}

struct Outcome {
    OvNDCPError error;
    std::string firstValue;
    qint64 elapsedMs = 0;
};

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        responder = std::make_unique<LoopbackResponder>();
        owner = std::make_unique<QObject>();
        StartClient(owner.get());
        client = ClientInstance();
        ASSERT_NE(client, nullptr);
        parts = std::make_unique<OvNDCPResponseVarList>(kDiscoveryPartDefs);
        const NDCPVarDef discovery[] = {{0, "Discovery", 0, kReadable, nullptr, parts.get(), nullptr},
                                        {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
        discoveryVars.AddDefinitions(discovery);
        const NDCPVarDef getVars[] = {{3, "IP Address", kIpAddress, kReadable | kWritable, nullptr, nullptr, nullptr},
                                      {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
        ipVars.AddDefinitions(getVars);
        clock.start();
    }

    void TearDown() override {
        owner.reset();
        responder.reset();
    }

    OvNDCPCallback Recorder() {
        return OvNDCPCallback([this](const OvNDCPError& error, const OvNDCPVarList& vars) {
            Outcome outcome{error, {}, clock.elapsed()};
            if (vars.Count() > 0) {
                const auto& var = vars.Var(0);
                outcome.firstValue = var.Parts ? var.Parts->Part(1).Value : var.Value;
            }
            outcomes.push_back(outcome);
        });
    }

    std::unique_ptr<LoopbackResponder> responder;
    std::unique_ptr<QObject> owner;
    OvNDCPClient* client = nullptr;
    std::unique_ptr<OvNDCPResponseVarList> parts;
    OvNDCPVarList discoveryVars;
    OvNDCPVarList ipVars;
    std::vector<Outcome> outcomes;
    QElapsedTimer clock;
};

TEST_F(ClientTest, SequenceStartsAtZeroAndWrapsAfter256Sends) {
    responder->SetHandler([](LoopbackResponder& r, const std::vector<std::uint8_t>& request) {
        r.Reply(BuildAnswer(request[kOffsetSequence], 0, kDeviceMac, {}));
    });
    std::vector<std::uint8_t> sent;
    for (int i = 0; i < 257; ++i) {
        sent.push_back(client->SendRequest(kDeviceMacText, "", discoveryVars, kGetCommand, Recorder(), 100));
        // Let each answer in before the next send, so no socket buffer overflows.
        ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == sent.size(); }, 2000));
    }
    EXPECT_EQ(sent.front(), 0);
    EXPECT_EQ(sent[255], 255);
    EXPECT_EQ(sent.back(), 0);
    EXPECT_EQ(responder->Requests().back()[kOffsetSequence], 0);
    EXPECT_EQ(outcomes.back().error.Sequence, 0);
    EXPECT_EQ(client->PendingCount(), 0u);
}

TEST_F(ClientTest, FailedSendsKeepCounterAndPendingTable) {
    client->SendRequest("FFFFFFFFFFFF", "", discoveryVars, 1, {}, 100);
    const struct {
        const char* name;
        const char* mac;
        std::uint8_t command;
        int code;
    } cases[] = {
        {"five-byte MAC", "0011223344", 1, kBadMacAddress},
        {"empty MAC", "", 5, kBadMacAddress},
        {"unknown command", "FFFFFFFFFFFF", 2, kBadCommandType},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            client->SendRequest(c.mac, "", ipVars, c.command, {}, 100);
            ADD_FAILURE() << "no error";
        } catch (const OvException& e) {
            EXPECT_EQ(e.Code(), c.code);
            EXPECT_EQ(e.what(), std::string(NDCPMessage(c.code)));
        }
        EXPECT_EQ(client->Sequence(), 1);
        EXPECT_EQ(client->PendingCount(), 1u);
    }
}

TEST_F(ClientTest, SendtoFailureRaisesSocketErrorAndConsumesNothing) {
    // An IPv6 destination cannot be reached from the client's IPv4 socket.
    NetworkSetting().destinationAddress = "::1";
    try {
        client->SendRequest("FFFFFFFFFFFF", "", discoveryVars, 1, Recorder(), 100);
        FAIL() << "no error";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), kSocketReadWriteError);
        EXPECT_STREQ(e.what(), "Socket read/write error!");
    }
    EXPECT_EQ(client->Sequence(), 0);
    EXPECT_EQ(client->PendingCount(), 0u);
    ProcessEventsFor(100);
    EXPECT_TRUE(outcomes.empty());
}

TEST(ClientConstructionTest, UnbindableAddressRaisesSocketNotReady) {
    const NDCPNetworkSetting saved = NetworkSetting();
    NetworkSetting().localAddress = "192.0.2.1";  // not an address of this machine
    QObject owner;
    try {
        StartClient(&owner);
        ADD_FAILURE() << "no error";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), kSocketNotReady);
        EXPECT_STREQ(e.what(), "Socket not ready!Please check if the network is ready.");
    }
    NetworkSetting() = saved;
}

TEST_F(ClientTest, StartClientEmptiesTheDefaultDeviceAndAsksForALargeReceiveBuffer) {
    DefaultDevice() = {"FFFFFFFFFFFF", "kestu"};
    QObject other;
    StartClient(&other);
    EXPECT_EQ(DefaultDevice().MacAddress, "");
    EXPECT_EQ(DefaultDevice().Password, "");
    // The system may grant less than asked, but never less than its default.
    std::cout << "receive buffer granted: " << ClientInstance()->ReceiveBufferSize() << " bytes\n";
    EXPECT_GE(ClientInstance()->ReceiveBufferSize(), 200000);
    // A privileged process gets all it asks for, which a flood needs.
    if (MayForceReceiveBuffer()) {
        EXPECT_GE(ClientInstance()->ReceiveBufferSize(), OvNDCPClient::kRequestedReceiveBuffer);
    }
}

TEST_F(ClientTest, GetWithoutAnswerTimesOutAfterItsTimeout) {
    client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 100);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !outcomes.empty(); }, 3000));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].error.Code, kConnectionTimeout);
    EXPECT_EQ(outcomes[0].error.Message, "Connection timeout!");
    EXPECT_EQ(outcomes[0].error.MacAddress, kDeviceMacText);
    std::cout << "time-out 100 completed after " << outcomes[0].elapsedMs << " ms\n";
    EXPECT_GE(outcomes[0].elapsedMs, 1000);
    EXPECT_LT(outcomes[0].elapsedMs, 1500);  // generous for a loaded machine
    EXPECT_EQ(client->PendingCount(), 0u);
}

TEST_F(ClientTest, SimultaneousTimeoutsCompleteInConsecutiveSweepsEarliestFirst) {
    const std::uint8_t first = client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 10);
    const std::uint8_t second = client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 10);
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == 2; }, 2000));
    EXPECT_EQ(outcomes[0].error.Sequence, first);
    EXPECT_EQ(outcomes[1].error.Sequence, second);
    const qint64 gap = outcomes[1].elapsedMs - outcomes[0].elapsedMs;
    std::cout << "gap between the two time-outs: " << gap << " ms\n";
    EXPECT_GE(gap, 10);
}

TEST_F(ClientTest, DiscoverCollectsEveryAnswerThenEndsWithTimeout) {
    responder->SetHandler([](LoopbackResponder& r, const std::vector<std::uint8_t>& request) {
        const std::uint8_t seq = request[kOffsetSequence];
        for (int i = 1; i <= 3; ++i) {
            const MacBytes mac = {0, 0x11, 0x22, 0x33, 0x44, static_cast<std::uint8_t>(i)};
            r.Reply(BuildAnswer(seq, 0, mac,
                                DiscoveryElements("KVX-770B", "dev" + std::to_string(i),
                                                  "0011223344" + std::string("0") + std::to_string(i),
                                                  "10.0.0." + std::to_string(i), "255.255.255.0")));
        }
    });
    client->SendRequest("FFFFFFFFFFFF", "kestu", discoveryVars, kDiscoverCommand, Recorder(), 50);
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == 3; }, 2000));
    EXPECT_EQ(client->PendingCount(), 1u);
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == 4; }, 2000));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(outcomes[static_cast<std::size_t>(i)].error.Code, kOk);
        EXPECT_EQ(outcomes[static_cast<std::size_t>(i)].firstValue, "dev" + std::to_string(i + 1));
    }
    EXPECT_EQ(outcomes[3].error.Code, kConnectionTimeout);
    EXPECT_GE(outcomes[3].elapsedMs, 500);
    EXPECT_EQ(client->PendingCount(), 0u);
}

TEST_F(ClientTest, GetTakesOnlyTheFirstMatchingAnswer) {
    responder->SetHandler([](LoopbackResponder& r, const std::vector<std::uint8_t>& request) {
        const std::uint8_t seq = request[kOffsetSequence];
        const MacBytes other = {1, 2, 3, 4, 5, 6};
        r.ReplyFromOtherPort(BuildAnswer(seq, 0, kDeviceMac, {{3, kIpAddress, "10.9.9.9"}}));  // wrong port
        r.Reply(BuildAnswer(seq, 0, other, {{3, kIpAddress, "10.8.8.8"}}));                    // wrong MAC
        r.Reply(BuildAnswer(static_cast<std::uint8_t>(seq + 1), 0, kDeviceMac, {{3, kIpAddress, "10.7.7.7"}}));
        r.Reply(BuildAnswer(seq, 0, kDeviceMac, {{3, kIpAddress, "10.0.0.1"}}));  // accepted
        r.Reply(BuildAnswer(seq, 0, kDeviceMac, {{3, kIpAddress, "10.0.0.2"}}));  // second answer
    });
    client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 30);
    ProcessEventsFor(600);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].error.Code, kOk);
    EXPECT_EQ(outcomes[0].firstValue, "10.0.0.1");
}

TEST_F(ClientTest, AnswerAfterTheTimeoutIsIgnored) {
    std::vector<std::uint8_t> late;
    responder->SetHandler([&late](LoopbackResponder&, const std::vector<std::uint8_t>& request) {
        late = BuildAnswer(request[kOffsetSequence], 0, kDeviceMac, {{3, kIpAddress, "10.0.0.1"}});
    });
    client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 5);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !outcomes.empty(); }, 2000));
    responder->Reply(late);
    ProcessEventsFor(200);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].error.Code, kConnectionTimeout);
}

TEST_F(ClientTest, OversizedDatagramIsDroppedEvenWhenItsLengthFieldFitsTheBuffer) {
    responder->SetHandler([](LoopbackResponder& r, const std::vector<std::uint8_t>& request) {
        std::vector<std::uint8_t> answer = BuildAnswer(request[kOffsetSequence], 0, kDeviceMac, {});
        answer.resize(kReceiveBufferSize + 100, 0);
        answer[kOffsetTotalLength] = static_cast<std::uint8_t>(kReceiveBufferSize >> 8);
        answer[kOffsetTotalLength + 1] = static_cast<std::uint8_t>(kReceiveBufferSize & 0xFF);
        r.Reply(answer);
    });
    client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 20);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !outcomes.empty(); }, 2000));
    EXPECT_EQ(outcomes[0].error.Code, kConnectionTimeout);
}

TEST_F(ClientTest, CallbackOfAGoneOwnerIsNeverCalled) {
    auto token = std::make_shared<int>(0);
    bool called = false;
    client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand,
                        OvNDCPCallback([&called](const OvNDCPError&, const OvNDCPVarList&) { called = true; }, token),
                        5);
    token.reset();
    ProcessEventsFor(300);
    EXPECT_FALSE(called);
    EXPECT_EQ(client->PendingCount(), 0u);
}

TEST_F(ClientTest, DestructionWaitsForAPendingDiscoverThenDropsItSilently) {
    client->SendRequest("FFFFFFFFFFFF", "", discoveryVars, kDiscoverCommand, Recorder(), 100000);
    QElapsedTimer timer;
    timer.start();
    owner.reset();
    const qint64 waited = timer.elapsed();
    std::cout << "destruction waited " << waited << " ms\n";
    EXPECT_GE(waited, 6000);
    EXPECT_LT(waited, 7500);
    EXPECT_TRUE(outcomes.empty());
    EXPECT_EQ(ClientInstance(), nullptr);
}

}  // namespace
