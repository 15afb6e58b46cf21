#include "ndcp/OvNDCPRequest.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>

#include <gtest/gtest.h>

#include "device/DeviceProfile.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "testkit/AnswerBuilder.h"
#include "testkit/ExpectOvError.h"
#include "testkit/FakeNetwork.h"
#include "vars/VarTypes.h"

namespace {

constexpr MacBytes kDeviceMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

// What the responder does with each request it receives.
struct Script {
    std::vector<std::string> deviceNames;  // answering devices for a Discover, in order
    int discoverStatusFirst = -1;          // status of an extra failing answer sent first, or -1
    int answerStatus = -1;                 // status for a Get or Set answer, or -1 for silence
};

class RequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        responder = std::make_unique<FakeNetwork>();
        owner = std::make_unique<QObject>();
        StartClient(owner.get(), responder->Environment());
        DefaultDevice() = {"FFFFFFFFFFFF", "kestu"};
        parts = std::make_unique<OvNDCPResponseVarList>(kDiscoveryPartDefs);
        responder->SetHandler(
            [this](FakeNetwork& r, const std::vector<std::uint8_t>& request) { Answer(r, request); });
    }

    void TearDown() override {
        owner.reset();
        responder.reset();
    }

    void Answer(FakeNetwork& r, const std::vector<std::uint8_t>& request) const {
        const std::uint8_t seq = request[kOffsetSequence];
        if (request[kOffsetCommand] == kDiscoverCommand) {
            if (script.discoverStatusFirst >= 0) {
                r.Reply(
                    BuildAnswer(seq, static_cast<std::uint8_t>(script.discoverStatusFirst), kDeviceMac, {}));
            }
            int i = 0;
            for (const std::string& name : script.deviceNames) {
                ++i;
                r.Reply(BuildAnswer(seq, 0, kDeviceMac,
                                    DiscoveryElements("KVX-770B", name, "00112233440" + std::to_string(i),
                                                      "10.0.0." + std::to_string(i), "255.0.0.0")));
            }
            return;
        }
        if (script.answerStatus < 0) return;
        const MacBytes target = {request[28], request[29], request[30],
                                 request[31], request[32], request[33]};
        r.Reply(BuildAnswer(seq, static_cast<std::uint8_t>(script.answerStatus), target,
                            {{3, kIpAddress, "10.1.2.3"}, {4, kIpAddress, "255.255.0.0"}}));
    }

    void UseDiscoveryVars(OvNDCPRequest& request) const {
        const NDCPVarDef defs[] = {{0, "Discovery", 0, kReadable, nullptr, parts.get(), nullptr},
                                   {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
        request.Vars.Clear();
        request.Vars.AddDefinitions(defs);
        request.Vars.Name = "Discovery Table";
    }

    static std::string DeviceName(const OvNDCPRequest& request) {
        return request.Vars.Var(0).Parts->Part(1).Value;
    }

    [[nodiscard]] std::int64_t MsSince(Clock::TimePoint time) const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(responder->Time().Now() - time).count();
    }
    bool ProcessEventsUntil(const std::function<bool()>& condition, int limitMs) {
        return responder->Time().RunUntil(condition, std::chrono::milliseconds(limitMs));
    }

    std::unique_ptr<FakeNetwork> responder;
    std::unique_ptr<QObject> owner;
    std::unique_ptr<OvNDCPResponseVarList> parts;
    Script script;
};

TEST_F(RequestTest, NewRequestCopiesTheDefaultDevice) {
    const OvNDCPRequest request;
    EXPECT_EQ(request.Device.MacAddress, "FFFFFFFFFFFF");
    EXPECT_EQ(request.Device.Password, "kestu");
    EXPECT_EQ(request.Timeout, 100);
    EXPECT_EQ(request.LastResult.Code, 0);
    EXPECT_EQ(request.LastResult.Message, "Ok!");
    EXPECT_EQ(request.Vars.Count(), 0);
}

TEST_F(RequestTest, DiscoverWithoutDevicesEndsWithTimeoutAfterTheWholeWindow) {
    OvNDCPRequest request;
    UseDiscoveryVars(request);
    request.Timeout = 30;
    const Clock::TimePoint started = responder->Time().Now();
    EXPECT_FALSE(request.Discover(true));
    EXPECT_GT(MsSince(started), 300);
    EXPECT_LE(MsSince(started), 300 + OvNDCPClient::kSweepIntervalMs);
    EXPECT_EQ(request.LastResult.Code, kConnectionTimeout);
    EXPECT_EQ(request.LastResult.Message, "Connection timeout!");
}

TEST_F(RequestTest, DiscoverHandsOutAnswersInOrderOfArrival) {
    script.deviceNames = {"first", "second"};
    OvNDCPRequest request;
    UseDiscoveryVars(request);
    request.Timeout = 30;
    EXPECT_FALSE(request.Discover(false));  // nothing collected yet
    ASSERT_TRUE(request.Discover(true));
    EXPECT_EQ(DeviceName(request), "first");
    ASSERT_TRUE(request.Discover(false));
    EXPECT_EQ(DeviceName(request), "second");
    EXPECT_EQ(request.Vars.Var(0).Parts->Part(3).Value, "10.0.0.2");
    EXPECT_FALSE(request.Discover(false));
    EXPECT_EQ(DeviceName(request), "second");
    EXPECT_EQ(request.Vars.Name, "Discovery Table");
}

TEST_F(RequestTest, FailureAnswerDuringDiscoverIsOverwrittenByTheFinalTimeout) {
    script.discoverStatusFirst = 1;
    script.deviceNames = {"only"};
    OvNDCPRequest request;
    UseDiscoveryVars(request);
    request.Timeout = 30;
    std::vector<int> seen;
    const auto probe = responder->Time().Every(std::chrono::milliseconds(5), nullptr,
                                               [&] { seen.push_back(request.LastResult.Code); });
    ASSERT_TRUE(request.Discover(true));
    EXPECT_NE(std::find(seen.begin(), seen.end(), kPasswordError), seen.end());
    EXPECT_EQ(request.LastResult.Code, kConnectionTimeout);
    EXPECT_FALSE(request.Discover(false));
}

TEST_F(RequestTest, SetOutcomes) {
    struct Case {
        const char* name;
        int status;
        int code;
    };
    const Case cases[] = {
        {"success", 0, kOk},
        {"wrong password", 1, kPasswordError},
        {"not done", 2, kNotDone},
        {"bad command", 3, kBadCommandType},
        {"other status", 9, kUnknownError},
        {"no answer", -1, kConnectionTimeout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        script.answerStatus = c.status;
        OvNDCPRequest request;
        request.Vars.AddDefinitions(kSetIPVarDefs);
        request.Vars.Var(0).Value = "192.168.7.8";
        request.Vars.Var(1).Value = "255.255.255.0";
        request.Device = {"001122334455", "0123ABCD"};
        request.Timeout = 20;
        if (c.code == kOk) {
            request.Set();
        } else {
            ExpectOvError([&] { request.Set(); }, c.code, NDCPMessage(c.code));
        }
        EXPECT_EQ(request.LastResult.Code, c.code);
        // A Set hands back the variables as they were sent.
        EXPECT_EQ(request.Vars.Var(0).Value, "192.168.7.8");
        EXPECT_EQ(request.Vars.Var(1).Value, "255.255.255.0");
    }
}

TEST_F(RequestTest, SetWithoutAnswerRaisesTimeoutAfterOneSecond) {
    OvNDCPRequest request;
    request.Vars.AddDefinitions(kSetIPVarDefs);
    request.Device = {"001122334455", ""};
    const Clock::TimePoint started = responder->Time().Now();
    ExpectOvError([&] { request.Set(); }, kConnectionTimeout, NDCPMessage(kConnectionTimeout));
    EXPECT_GT(MsSince(started), 1000);
    EXPECT_LE(MsSince(started), 1000 + OvNDCPClient::kSweepIntervalMs);
}

TEST_F(RequestTest, GetStoresTheDecodedAnswer) {
    script.answerStatus = 0;
    OvNDCPRequest request;
    request.Vars.AddDefinitions(kSetIPVarDefs);
    request.Device.MacAddress = "00 11 22 33 44 55";
    request.Get();
    EXPECT_EQ(request.Vars.Var(0).Value, "10.1.2.3");
    EXPECT_EQ(request.Vars.Var(1).Value, "255.255.0.0");
}

TEST_F(RequestTest, GetWithABadTargetRaisesAtOnce) {
    OvNDCPRequest request;
    request.Vars.AddDefinitions(kSetIPVarDefs);
    request.Device.MacAddress = "0011223344";
    const Clock::TimePoint started = responder->Time().Now();
    ExpectOvError([&] { request.Get(); }, kBadMacAddress, NDCPMessage(kBadMacAddress));
    EXPECT_LT(MsSince(started), 100);
    EXPECT_FALSE(request.Waiting());
}

TEST_F(RequestTest, GetAsyncReturnsBeforeItsCallback) {
    script.answerStatus = 0;
    OvNDCPRequest request;
    request.Vars.AddDefinitions(kSetIPVarDefs);
    request.Device.MacAddress = "001122334455";
    int calls = 0;
    int code = 1;
    const std::uint8_t seq = request.GetAsync(OvNDCPCallback([&](const OvNDCPError& e, const OvNDCPVarList&) {
        ++calls;
        code = e.Code;
    }));
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return calls == 1; }, 2000));
    EXPECT_EQ(code, kOk);
    EXPECT_EQ(seq, 0);
    EXPECT_EQ(request.LastResult.Code, kOk);  // untouched by the asynchronous command
}

TEST_F(RequestTest, CommandStartedInsideTheWaitIsRefusedAndResultsStayIntact) {
    script.deviceNames = {"a", "b"};
    OvNDCPRequest request;
    UseDiscoveryVars(request);
    request.Timeout = 30;
    std::string refusal;
    int code = kOk;
    responder->Time().After(std::chrono::milliseconds(100), [&] {
        try {
            request.Discover(true);
        } catch (const OvException& e) {
            refusal = e.what();
            code = e.Code();
        }
    });
    ASSERT_TRUE(request.Discover(true));
    EXPECT_EQ(refusal, "The request is still waiting for an answer to its last command!");
    EXPECT_EQ(code, kNotDone);
    EXPECT_EQ(DeviceName(request), "a");
    ASSERT_TRUE(request.Discover(false));
    EXPECT_EQ(DeviceName(request), "b");
}

// A handler inside the wait deletes the request or destroys the client: the waiting command must
// end with an error and touch nothing of what is gone (the sanitizer build checks the latter).
TEST_F(RequestTest, DeletingTheRequestOrTheClientInsideTheWaitEndsTheCommandWithAnError) {
    struct Case {
        const char* name;
        std::uint8_t command;
        bool deleteRequest;  // otherwise the client is destroyed
        int code;
        const char* text;
    };
    const Case cases[] = {
        {"Discover, request deleted", kDiscoverCommand, true, kNotDone,
         "The request was deleted while it waited for answers!"},
        {"Get, request deleted", kGetCommand, true, kNotDone,
         "The request was deleted while it waited for its answer!"},
        {"Set, request deleted", kSetCommand, true, kNotDone,
         "The request was deleted while it waited for its answer!"},
        {"Discover, client destroyed", kDiscoverCommand, false, kSocketReadWriteError,
         "Socket read/write error!"},
        {"Get, client destroyed", kGetCommand, false, kSocketReadWriteError, "Socket read/write error!"},
        {"Set, client destroyed", kSetCommand, false, kSocketReadWriteError, "Socket read/write error!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!ClientInstance()) {
            owner = std::make_unique<QObject>();
            StartClient(owner.get(), responder->Environment());
        }
        ClientInstance()->SetDestructionWait(std::chrono::milliseconds(50));
        auto request = std::make_unique<OvNDCPRequest>();
        request->Vars.AddDefinitions(kSetIPVarDefs);
        request->Device = {"001122334455", ""};
        request->Timeout = 200;
        responder->Time().After(std::chrono::milliseconds(50),
                                [&] { c.deleteRequest ? request.reset() : owner.reset(); });
        const std::function<void()> commands[] = {[&] { request->Discover(true); }, [&] { request->Get(); },
                                                  [&] { request->Set(); }};
        const std::size_t which = c.command == kDiscoverCommand ? 0 : c.command == kGetCommand ? 1 : 2;
        const Clock::TimePoint started = responder->Time().Now();
        try {
            commands[which]();
            ADD_FAILURE() << "no error raised";
        } catch (const OvException& e) {
            EXPECT_EQ(e.Code(), c.code);
            EXPECT_STREQ(e.what(), c.text);
        }
        EXPECT_LT(MsSince(started), 1000);  // well before the request's own time-out of 2 s
        EXPECT_EQ(request == nullptr, c.deleteRequest);
        if (request) {
            EXPECT_FALSE(request->Waiting());
        }
    }
}

// Answers beyond what one Discover keeps, replays included, are counted and dropped.
TEST_F(RequestTest, DiscoverKeepsABoundedNumberOfAnswersAndCountsTheRest) {
    struct Probe : OvNDCPRequest {
        using OvNDCPRequest::OnDiscoverAnswer;
    } request;
    request.Timeout = 1;
    const OvNDCPError ok{};
    const OvNDCPVarList answer;
    for (std::size_t i = 0; i < OvNDCPRequest::kMaxDiscoverAnswers + 3; ++i) {
        request.OnDiscoverAnswer(ok, answer);
    }
    EXPECT_EQ(request.Results.size(), OvNDCPRequest::kMaxDiscoverAnswers);
    EXPECT_EQ(request.DroppedAnswers(), 3u);
    EXPECT_FALSE(request.Discover(true));  // a new run starts empty
    EXPECT_EQ(request.DroppedAnswers(), 0u);
}

TEST_F(RequestTest, FilterIsTestedAgainstTheCurrentVariables) {
    script.deviceNames = {"x"};
    OvNDCPRequest request;
    UseDiscoveryVars(request);
    request.Timeout = 20;
    EXPECT_TRUE(request.PassesFilter(""));
    request.Filter = "$0.0=KVX-770B";
    EXPECT_FALSE(request.MatchesFilter());  // no answer loaded yet: the module name is empty
    ASSERT_TRUE(request.Discover(true));
    EXPECT_TRUE(request.MatchesFilter());
    EXPECT_EQ(request.ExpandExpression("$0.1", true, "$"), "\"x\"");
    EXPECT_FALSE(request.PassesFilter("$0.0<>KVX-770B"));
}

TEST_F(RequestTest, CommandWithoutClientRaisesSocketError) {
    owner.reset();
    OvNDCPRequest request;
    request.Vars.AddDefinitions(kSetIPVarDefs);
    ExpectOvError([&] { request.Get(); }, kSocketReadWriteError, NDCPMessage(kSocketReadWriteError));
}

}  // namespace
