#include "ndcp/OvNDCPClient.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include <QObject>

#include <gtest/gtest.h>

#include "device/DeviceProfile.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPDevice.h"
#include "testkit/AnswerBuilder.h"
#include "testkit/ExpectOvError.h"
#include "testkit/FakeNetwork.h"
#include "vars/VarTypes.h"

namespace {

constexpr MacBytes kDeviceMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
constexpr const char* kDeviceMacText = "001122334455";

struct Outcome {
    OvNDCPError error;
    std::string firstValue;
    std::int64_t elapsedMs = 0;
};

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        responder = std::make_unique<FakeNetwork>();
        owner = std::make_unique<QObject>();
        StartClient(owner.get(), responder->Environment());
        client = ClientInstance();
        ASSERT_NE(client, nullptr);
        parts = std::make_unique<OvNDCPResponseVarList>(kDiscoveryPartDefs);
        const NDCPVarDef discovery[] = {{0, "Discovery", 0, kReadable, nullptr, parts.get(), nullptr},
                                        {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
        discoveryVars.AddDefinitions(discovery);
        const NDCPVarDef getVars[] = {
            {3, "IP Address", kIpAddress, kReadable | kWritable, nullptr, nullptr, nullptr},
            {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
        ipVars.AddDefinitions(getVars);
        start = responder->Time().Now();
    }

    void TearDown() override {
        // What a test leaves pending is not waited for.
        if (ClientInstance()) ClientInstance()->SetDestructionWait(std::chrono::milliseconds(0));
        owner.reset();
        responder.reset();
    }

    OvNDCPCallback Recorder() {
        return OvNDCPCallback([this](const OvNDCPError& error, const OvNDCPVarList& vars) {
            Outcome outcome{error, {}, ElapsedMs()};
            if (vars.Count() > 0) {
                const auto& var = vars.Var(0);
                outcome.firstValue = var.Parts ? var.Parts->Part(1).Value : var.Value;
            }
            outcomes.push_back(outcome);
        });
    }

    // The time of the manual clock since the start of the test.
    [[nodiscard]] std::int64_t ElapsedMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(responder->Time().Now() - start).count();
    }
    bool ProcessEventsUntil(const std::function<bool()>& condition, int limitMs) {
        return responder->Time().RunUntil(condition, std::chrono::milliseconds(limitMs));
    }
    void ProcessEventsFor(int ms) { responder->Time().RunFor(std::chrono::milliseconds(ms)); }

    std::unique_ptr<FakeNetwork> responder;
    std::unique_ptr<QObject> owner;
    OvNDCPClient* client = nullptr;
    std::unique_ptr<OvNDCPResponseVarList> parts;
    OvNDCPVarList discoveryVars;
    OvNDCPVarList ipVars;
    std::vector<Outcome> outcomes;
    Clock::TimePoint start;
};

TEST_F(ClientTest, SequenceStartsAtZeroAndWrapsAfter256Sends) {
    responder->SetHandler([](FakeNetwork& r, const std::vector<std::uint8_t>& request) {
        r.Reply(BuildAnswer(request[kOffsetSequence], 0, kDeviceMac, {}));
    });
    std::vector<std::uint8_t> sent;
    for (int i = 0; i < 257; ++i) {
        sent.push_back(client->SendRequest(kDeviceMacText, "", discoveryVars, kGetCommand, Recorder(), 100));
        ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == sent.size(); }, 2000));
    }
    EXPECT_EQ(sent.front(), 0);
    EXPECT_EQ(sent[255], 255);
    EXPECT_EQ(sent.back(), 0);
    EXPECT_EQ(responder->Requests().back()[kOffsetSequence], 0);
    EXPECT_EQ(outcomes.back().error.Sequence, 0);
    EXPECT_EQ(client->PendingCount(), 0u);
}

// An answer is matched to the pending request with its sequence number, so no two pending
// requests may share one.
TEST_F(ClientTest, SequenceNumbersStillPendingAreSkippedAndASendIsRefusedWhenAllAreTaken) {
    constexpr const char* kSilentMac = "AABBCCDDEEFF";
    responder->SetHandler([](FakeNetwork& r, const std::vector<std::uint8_t>& request) {
        const MacBytes target = {request[28], request[29], request[30],
                                 request[31], request[32], request[33]};
        if (target == kDeviceMac) {
            r.Reply(BuildAnswer(request[kOffsetSequence], 0, kDeviceMac, {{3, kIpAddress, "10.0.0.1"}}));
        }
    });
    const auto sendAnswered = [&] {
        const std::uint8_t seq =
            client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 500);
        EXPECT_TRUE(ProcessEventsUntil(
            [&] { return !outcomes.empty() && outcomes.back().error.Sequence == seq; }, 2000));
        return seq;
    };
    EXPECT_EQ(client->SendRequest(kSilentMac, "", ipVars, kGetCommand, Recorder(), 100000), 0);
    for (int expected = 1; expected <= 255; ++expected) ASSERT_EQ(sendAnswered(), expected);
    EXPECT_EQ(sendAnswered(), 1);  // 0 is still pending
    EXPECT_EQ(outcomes.back().error.Code, kOk);
    EXPECT_EQ(client->PendingCount(), 1u);

    const auto sendSilent = [&] {
        return client->SendRequest(kSilentMac, "", ipVars, kGetCommand, Recorder(), 100000);
    };
    for (int expected = 2; expected <= 255; ++expected) ASSERT_EQ(sendSilent(), expected);
    EXPECT_EQ(sendSilent(), 1);  // after the wrap, 0 is still pending and 1 is free again
    ASSERT_EQ(client->PendingCount(), 256u);
    const std::uint8_t counter = client->Sequence();
    try {
        sendSilent();
        ADD_FAILURE() << "no error";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), kNotDone);
        EXPECT_STREQ(e.what(), "All 256 sequence numbers are in use by pending requests!");
    }
    EXPECT_EQ(client->Sequence(), counter);
    EXPECT_EQ(client->PendingCount(), 256u);
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

TEST_F(ClientTest, FailedSendOrOpenRaisesTheSocketErrorsAndConsumesNothing) {
    responder->FailSend(true);
    ExpectOvError([&] { client->SendRequest("FFFFFFFFFFFF", "", discoveryVars, 1, Recorder(), 100); },
                  kSocketReadWriteError, "Socket read/write error!");
    EXPECT_EQ(client->Sequence(), 0);
    EXPECT_EQ(client->PendingCount(), 0u);
    ProcessEventsFor(100);
    EXPECT_TRUE(outcomes.empty());

    responder->FailOpen(true);
    QObject other;
    ExpectOvError([&] { StartClient(&other, responder->Environment()); }, kSocketNotReady,
                  "Socket not ready!Please check if the network is ready.");
}

TEST_F(ClientTest, StartClientEmptiesTheDefaultDeviceAndOpensOnTheSettingsLocalAddress) {
    DefaultDevice() = {"FFFFFFFFFFFF", "kestu"};
    ClientEnvironment environment = responder->Environment();
    environment.network.localAddress = "10.1.2.3";
    QObject other;
    StartClient(&other, environment);
    EXPECT_EQ(DefaultDevice().MacAddress, "");
    EXPECT_EQ(DefaultDevice().Password, "");
    EXPECT_EQ(responder->LastLocalAddress(), "10.1.2.3");
    EXPECT_EQ(ClientInstance()->ReceiveBufferSize(), FakeNetwork::kGrantedReceiveBuffer);
}

// The time-out counts units of 10 ms: 100 is one second, 300 three.
TEST_F(ClientTest, GetWithoutAnswerTimesOutAfterItsTimeout) {
    const std::int32_t timeouts[] = {100, 300};
    for (const std::int32_t timeout : timeouts) {
        client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), timeout);
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == 2; }, 5000));
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(timeouts[i]);
        EXPECT_EQ(outcomes[i].error.Code, kConnectionTimeout);
        EXPECT_EQ(outcomes[i].error.Message, "Connection timeout!");
        EXPECT_EQ(outcomes[i].error.MacAddress, kDeviceMacText);
        // Found by the first sweep after the deadline.
        EXPECT_GT(outcomes[i].elapsedMs, timeouts[i] * 10);
        EXPECT_LE(outcomes[i].elapsedMs, timeouts[i] * 10 + OvNDCPClient::kSweepIntervalMs);
    }
    EXPECT_EQ(client->PendingCount(), 0u);
}

TEST_F(ClientTest, SimultaneousTimeoutsCompleteInConsecutiveSweepsEarliestFirst) {
    const std::uint8_t first = client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 10);
    const std::uint8_t second = client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 10);
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == 2; }, 2000));
    EXPECT_EQ(outcomes[0].error.Sequence, first);
    EXPECT_EQ(outcomes[1].error.Sequence, second);
    EXPECT_EQ(outcomes[1].elapsedMs - outcomes[0].elapsedMs, OvNDCPClient::kSweepIntervalMs);
}

TEST_F(ClientTest, DiscoverCollectsEveryAnswerThenEndsWithTimeout) {
    responder->SetHandler([](FakeNetwork& r, const std::vector<std::uint8_t>& request) {
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

// A Discover stays pending through failure answers, each reported with the code of its status.
TEST_F(ClientTest, DiscoverReportsEveryFailureStatusAndStaysPending) {
    responder->SetHandler([](FakeNetwork& r, const std::vector<std::uint8_t>& request) {
        for (std::uint8_t status = 1; status <= 15; ++status) {
            r.Reply(BuildAnswer(request[kOffsetSequence], status, kDeviceMac, {}));
        }
    });
    client->SendRequest("FFFFFFFFFFFF", "", discoveryVars, kDiscoverCommand, Recorder(), 50);
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == 15; }, 2000));
    EXPECT_EQ(client->PendingCount(), 1u);
    for (int status = 1; status <= 15; ++status) {
        const int code = status == 1   ? kPasswordError
                         : status == 2 ? kNotDone
                         : status == 3 ? kBadCommandType
                                       : kUnknownError;
        EXPECT_EQ(outcomes[static_cast<std::size_t>(status - 1)].error.Code, code) << "status " << status;
        EXPECT_EQ(outcomes[static_cast<std::size_t>(status - 1)].error.Message, NDCPMessage(code));
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == 16; }, 2000));
    EXPECT_EQ(outcomes.back().error.Code, kConnectionTimeout);
}

TEST_F(ClientTest, GetTakesOnlyTheFirstMatchingAnswer) {
    responder->SetHandler([](FakeNetwork& r, const std::vector<std::uint8_t>& request) {
        const std::uint8_t seq = request[kOffsetSequence];
        const MacBytes other = {1, 2, 3, 4, 5, 6};
        // Malformed answers that would otherwise be taken: short, foreign, or with a wrong length.
        const std::vector<std::uint8_t> good = BuildAnswer(seq, 0, kDeviceMac, {{3, kIpAddress, "10.6.6.6"}});
        std::vector<std::uint8_t> shortAnswer(good.begin(), good.begin() + 35);
        shortAnswer[kOffsetTotalLength + 1] = 35;
        std::vector<std::uint8_t> badSignature = good;
        badSignature[0] ^= 0xFF;
        std::vector<std::uint8_t> lengthTooLong = good;
        ++lengthTooLong[kOffsetTotalLength + 1];
        std::vector<std::uint8_t> lengthTooShort = good;
        --lengthTooShort[kOffsetTotalLength + 1];
        for (const auto& malformed : {shortAnswer, badSignature, lengthTooLong, lengthTooShort}) {
            r.Reply(malformed);
        }
        r.ReplyFromOtherPort(BuildAnswer(seq, 0, kDeviceMac, {{3, kIpAddress, "10.9.9.9"}}));  // wrong port
        r.Reply(BuildAnswer(seq, 0, other, {{3, kIpAddress, "10.8.8.8"}}));                    // wrong MAC
        r.Reply(
            BuildAnswer(static_cast<std::uint8_t>(seq + 1), 0, kDeviceMac, {{3, kIpAddress, "10.7.7.7"}}));
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
    responder->SetHandler([&late](FakeNetwork&, const std::vector<std::uint8_t>& request) {
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
    responder->SetHandler([](FakeNetwork& r, const std::vector<std::uint8_t>& request) {
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
    client->SendRequest(
        kDeviceMacText, "", ipVars, kGetCommand,
        OvNDCPCallback([&called](const OvNDCPError&, const OvNDCPVarList&) { called = true; }, token), 5);
    token.reset();
    ProcessEventsFor(300);
    EXPECT_FALSE(called);
    EXPECT_EQ(client->PendingCount(), 0u);
}

TEST_F(ClientTest, DestructionWaitsForAPendingDiscoverThenDropsItSilently) {
    client->SendRequest("FFFFFFFFFFFF", "", discoveryVars, kDiscoverCommand, Recorder(), 100000);
    client->SetDestructionWait(std::chrono::milliseconds(600));
    owner.reset();
    EXPECT_GE(ElapsedMs(), 600);
    EXPECT_LT(ElapsedMs(), 700);
    EXPECT_TRUE(outcomes.empty());
    EXPECT_EQ(ClientInstance(), nullptr);
}

// A workstation on three networks: a request to the limited broadcast leaves through each.
class AdapterClientTest : public ClientTest {
protected:
    static inline const NetworkAdapter kEth0{"eth0", 2, 0x0AC60101, 24};   // 10.198.1.1/24
    static inline const NetworkAdapter kEth1{"eth1", 3, 0x0AC60201, 24};   // 10.198.2.1/24
    static inline const NetworkAdapter kWlan{"wlan0", 5, 0xA9FE0A01, 16};  // 169.254.10.1/16

    void SetUp() override {
        ClientTest::SetUp();
        responder->SetAdapters({kEth0, kEth1, kWlan});
    }
    std::uint8_t Discover() {
        return client->SendRequest("FFFFFFFFFFFF", "", discoveryVars, kDiscoverCommand, Recorder(), 100);
    }
    std::vector<unsigned int> SentIndexes() const {
        std::vector<unsigned int> indexes;
        for (const NetworkAdapter& adapter : responder->SentThrough()) indexes.push_back(adapter.index);
        return indexes;
    }
};

TEST_F(AdapterClientTest, DiscoverLeavesOnceThroughEveryAdapterWithOneDatagram) {
    Discover();
    EXPECT_EQ(SentIndexes(), (std::vector<unsigned int>{2, 3, 5}));
    ASSERT_EQ(responder->Requests().size(), 3u);
    EXPECT_EQ(responder->Requests()[0], responder->Requests()[2]);
    EXPECT_EQ(client->Sequence(), 1);
    EXPECT_EQ(client->LastSends().size(), 3u);

    // Adapters that come and go are found at the next send.
    responder->SetAdapters({kEth1});
    Discover();
    EXPECT_EQ(SentIndexes().back(), 3u);
    EXPECT_EQ(responder->Requests().size(), 4u);
}

TEST_F(AdapterClientTest, SendFailuresAreReportedPerAdapterAndRaiseOnlyWhenNothingLeft) {
    responder->FailSendThrough(kEth1.index);
    Discover();
    EXPECT_EQ(client->PendingCount(), 1u);
    ASSERT_EQ(client->LastSends().size(), 3u);
    EXPECT_EQ(client->LastSends()[1].adapter, kEth1);
    EXPECT_EQ(client->LastSends()[1].failure, FakeNetwork::kSendFailure);
    EXPECT_TRUE(client->LastSends()[0].failure.empty());

    const struct {
        const char* name;
        std::vector<NetworkAdapter> adapters;
        std::size_t reported;
    } cases[] = {{"no adapter up", {}, 0}, {"fails on its only adapter", {kEth1}, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        responder->SetAdapters(c.adapters);
        ExpectOvError([&] { Discover(); }, kSocketReadWriteError, "Socket read/write error!");
        EXPECT_EQ(client->LastSends().size(), c.reported);
        EXPECT_EQ(client->PendingCount(), 1u);
        EXPECT_EQ(client->Sequence(), 1);
    }
}

TEST_F(AdapterClientTest, AnswersCarryTheAdapterTheyArrivedOn) {
    const std::uint8_t seq = Discover();
    const auto answer =
        BuildDiscoveryAnswer(seq, kDeviceMac, "KVX-770B", "a", "192.168.1.50", "255.255.255.0");
    responder->ReplyOn(kEth1.index, answer);
    responder->ReplyOn(42, answer);  // an adapter the request did not leave through
    ASSERT_TRUE(ProcessEventsUntil([&] { return outcomes.size() == 2; }, 500));
    EXPECT_EQ(outcomes[0].error.Adapter, kEth1);
    EXPECT_FALSE(outcomes[1].error.Adapter.Known());
}

TEST_F(AdapterClientTest, ARequestThroughOneAdapterLeavesAndIsAnsweredThereAlone) {
    const std::uint8_t seq =
        client->SendRequest(kDeviceMacText, "", ipVars, kGetCommand, Recorder(), 100, kEth1);
    EXPECT_EQ(SentIndexes(), (std::vector<unsigned int>{3}));
    const auto answer = BuildAnswer(seq, 0, kDeviceMac, {{3, kIpAddress, "10.198.2.50"}});
    responder->ReplyOn(kEth0.index, answer);
    ProcessEventsFor(100);
    EXPECT_TRUE(outcomes.empty());
    responder->ReplyOn(kEth1.index, answer);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !outcomes.empty(); }, 500));
    EXPECT_EQ(outcomes[0].error.Code, kOk);
    EXPECT_EQ(outcomes[0].error.Adapter, kEth1);
}

TEST_F(AdapterClientTest, AnyOtherDestinationTakesTheSystemsRouteOnce) {
    ClientEnvironment environment = responder->Environment();
    environment.network.destinationAddress = "127.0.0.1";
    QObject other;
    StartClient(&other, environment);
    ClientInstance()->SendRequest("FFFFFFFFFFFF", "", discoveryVars, kDiscoverCommand, {}, 1);
    ASSERT_EQ(responder->SentThrough().size(), 1u);
    EXPECT_FALSE(responder->SentThrough()[0].Known());
}

TEST_F(AdapterClientTest, NothingWakesTheProgramWhileNothingIsPending) {
    EXPECT_EQ(responder->Time().ScheduledCount(), 0u);
    Discover();
    EXPECT_EQ(responder->Time().ScheduledCount(), 1u);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !outcomes.empty(); }, 2000));
    ProcessEventsFor(100);
    EXPECT_EQ(client->PendingCount(), 0u);
    EXPECT_EQ(responder->Time().ScheduledCount(), 0u);
}

TEST(NetworkAdapterTest, TellsItsNetworkAndWhatLiesInIt) {
    const NetworkAdapter eth1{"eth1", 3, 0x0AC60201, 24};
    EXPECT_EQ(eth1.Describe(), "eth1 (10.198.2.0/24)");
    EXPECT_TRUE(eth1.Contains(0x0AC602FE));
    EXPECT_FALSE(eth1.Contains(0xC0A80132));
    EXPECT_TRUE((NetworkAdapter{"ppp0", 4, 0x0A000001, 32}.Contains(0x0A000001)));
    EXPECT_TRUE((NetworkAdapter{"any", 4, 0x0A000001, 0}.Contains(0xC0A80132)));
}

}  // namespace
