// The client and the requests against the device simulator on loopback.
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <QElapsedTimer>
#include <QObject>

#include <gtest/gtest.h>

#include "device/DeviceProfile.h"
#include "device/PasswordCipher.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "ndcp/OvNDCPClient.h"
#include "ndcp/OvNDCPRequest.h"
#include "testkit/ScopedNetworkSetting.h"
#include "testkit/SimulatorProcess.h"
#include "vars/VarTypes.h"

namespace {

class SimulatorTest : public ::testing::Test {
protected:
    void Start(const QStringList& options) {
        sim = std::make_unique<SimulatorProcess>(QStringLiteral(NDCP_SIM_PATH), options);
        ASSERT_TRUE(sim->Started()) << sim->Error();
        network.emplace(LoopbackSetting(sim->Port()));
        owner = std::make_unique<QObject>();
        StartClient(owner.get());
        DefaultDevice() = {"FFFFFFFFFFFF", "kestu"};
    }

    void TearDown() override {
        owner.reset();
        network.reset();
        sim.reset();
    }

    // Runs one discovery and returns each answer's parts joined by "|", in order of arrival.
    std::vector<std::string> Discover() {
        OvNDCPRequest request;
        request.Vars.AddDefinitions(discoveryDefs);
        request.Timeout = 50;
        std::vector<std::string> answers;
        for (bool more = request.Discover(true); more; more = request.Discover(false)) {
            const OvNDCPResponseVarList& got = *request.Vars.Var(0).Parts;
            std::string joined;
            for (int p = 0; p < got.Count(); ++p) joined += (p ? "|" : "") + got.Part(p).Value;
            answers.push_back(joined);
        }
        EXPECT_EQ(request.LastResult.Code, kConnectionTimeout);
        return answers;
    }

    void SetAddresses(const std::string& mac, const std::string& password, const std::string& ip) {
        OvNDCPRequest request;
        request.Vars.AddDefinitions(kSetIPVarDefs);
        request.Device = {mac, EncryptAccessPassword(kAccessPasswordKey, password)};
        request.Vars.Var(0).Value = ip;
        request.Vars.Var(1).Value = "255.255.0.0";
        request.Set();
    }

    std::unique_ptr<SimulatorProcess> sim;
    std::optional<ScopedNetworkSetting> network;
    std::unique_ptr<QObject> owner;
    OvNDCPResponseVarList parts{kDiscoveryPartDefs};
    const NDCPVarDef discoveryDefs[2] = {{0, "Discovery", 0, kReadable, nullptr, &parts, nullptr},
                                         {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
};

TEST_F(SimulatorTest, DiscoverGetsEverySimulatedDeviceInOrderOfArrival) {
    Start({"--devices", "3"});
    const std::vector<std::string> expected = {
        "KVX-770B|Storage-1|001122334401|192.168.0.101|255.255.255.0",
        "KVX-770B|Storage-2|001122334402|192.168.0.102|255.255.255.0",
        "KVX-770B|Storage-3|001122334403|192.168.0.103|255.255.255.0",
    };
    EXPECT_EQ(Discover(), expected);
}

TEST_F(SimulatorTest, SetWithTheAccessPasswordChangesWhatTheNextDiscoverReports) {
    Start({"--devices", "2", "--password", "secret12"});
    SetAddresses("001122334402", "secret12", "10.20.30.40");
    const std::vector<std::string> answers = Discover();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0], "KVX-770B|Storage-1|001122334401|192.168.0.101|255.255.255.0");
    EXPECT_EQ(answers[1], "KVX-770B|Storage-2|001122334402|10.20.30.40|255.255.0.0");
}

TEST_F(SimulatorTest, SetWithAWrongPasswordRaisesPasswordError) {
    Start({"--devices", "1", "--password", "right"});
    try {
        SetAddresses("001122334401", "wrong", "10.0.0.9");
        FAIL() << "no error";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), -1011);
        EXPECT_STREQ(e.what(), "Password Error!");
    }
    EXPECT_EQ(Discover().at(0), "KVX-770B|Storage-1|001122334401|192.168.0.101|255.255.255.0");
}

TEST_F(SimulatorTest, SetToAnAbsentDeviceTimesOutAfterAboutOneSecond) {
    Start({"--devices", "1"});
    QElapsedTimer timer;
    timer.start();
    try {
        SetAddresses("0000000000AA", "admin", "10.0.0.9");
        FAIL() << "no error";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), kConnectionTimeout);
        EXPECT_STREQ(e.what(), "Connection timeout!");
    }
    std::cout << "Set to an absent device raised after " << timer.elapsed() << " ms\n";
    EXPECT_GE(timer.elapsed(), 1000);
    EXPECT_LT(timer.elapsed(), 1500);
}

// The devices answer from addresses of their own, which the system shares out among the client's
// sockets.
TEST_F(SimulatorTest, EveryAnswerOfEveryModelIsCollected) {
    Start({"--devices", "2", "--other-models", "1", "--twice", "--sources", "3"});
    const std::vector<std::string> answers = Discover();
    std::size_t model = 0;
    std::size_t other = 0;
    for (const std::string& a : answers) {
        if (a.rfind("KVX-770B|Storage-", 0) == 0) ++model;
        if (a.rfind("KVX-550A|", 0) == 0) ++other;
    }
    EXPECT_EQ(model, 4u);
    EXPECT_EQ(other, 2u);
}

}  // namespace
