#include <chrono>
#include <vector>

#include "device/AddressRules.h"
#include "deviceops/DeviceDiscovery.h"
#include "deviceops/SetIPConfirmation.h"
#include "errors/OvException.h"
#include "testkit/ExpectOvError.h"
#include "testkit/FakeDevicesTest.h"

namespace {

using std::chrono::milliseconds;

class DeviceOpsTest : public FakeDevicesTest {
protected:
    [[nodiscard]] milliseconds Since(Clock::TimePoint start) {
        return std::chrono::duration_cast<milliseconds>(network.Time().Now() - start);
    }
};

TEST_F(DeviceOpsTest, DiscoveryReportsProgressAndKeepsTheFirstAnswerOfEachMac) {
    FakeDevice a;
    a.name = "a";
    FakeDevice b = a;
    b.name = "b";
    b.ip = "192.168.0.99";
    StartWith({a, b});
    DiscoveryChoice choice;
    choice.timeout = 50;
    std::vector<std::size_t> reports;
    choice.progress = [&reports](std::size_t answers) { reports.push_back(answers); };
    const DiscoveryRun run = DiscoverDevices(choice);
    ASSERT_EQ(run.devices.size(), 1u);
    EXPECT_EQ(run.devices[0].name, "a");
    EXPECT_EQ(run.devices[0].adapter, FakeNetwork::FirstAdapter());
    EXPECT_EQ(run.answered, 1u);
    ASSERT_EQ(run.sends.size(), 1u);
    EXPECT_TRUE(run.sends[0].failure.empty());
    // Every 100 ms of the 500 ms, with the answers in by then.
    EXPECT_GE(reports.size(), 4u);
    EXPECT_EQ(reports.back(), 2u);
}

TEST_F(DeviceOpsTest, FindByMacReturnsAsSoonAsThatDeviceAnswersAndIgnoresOthers) {
    FakeDevice other;
    other.mac = "0011223344AA";
    FakeDevice wanted;
    wanted.name = "wanted";
    StartWith({other, wanted});
    const auto start = network.Time().Now();
    const auto found = FindDeviceByMac(*MacTextToBytes("001122334401"), {}, kDiscoveryTimeout);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "wanted");
    EXPECT_LT(Since(start), milliseconds(100));
    EXPECT_FALSE(FindDeviceByMac(*MacTextToBytes("001122334401"), {}, kDiscoveryTimeout, "$0.0=OTHER"));
    EXPECT_FALSE(FindDeviceByMac(*MacTextToBytes("0011223344BB"), {}, 20));
}

TEST_F(DeviceOpsTest, FindByMacRaisesWhenTheDiscoverCannotLeave) {
    StartWith({FakeDevice{}});
    network.FailSend(true);
    ExpectOvError([] { static_cast<void>(FindDeviceByMac(*MacTextToBytes("001122334401"), {}, 20)); },
                  kSocketReadWriteError, "Socket read/write error!");
}

TEST_F(DeviceOpsTest, SetIPRefusesBeforeSendingAndReportsWhatItSent) {
    StartWith({FakeDevice{}});
    ListedDevice device;
    device.mac = "001122334401";
    device.adapter = FakeNetwork::FirstAdapter();
    ExpectOvError(
        [&device] { static_cast<void>(SetIPAndConfirm(device, "127.0.0.9", "255.0.0.0", "admin")); },
        kUnknownError, kAddressIsLoopback);
    EXPECT_TRUE(network.Requests().empty());
    const SetIPResult result = SetIPAndConfirm(device, "192.168.000.077", "255.255.255.000", "admin");
    EXPECT_EQ(result.outcome, SetIPOutcome::AnswersAtNewAddress);
    EXPECT_EQ(result.address + " " + result.netmask, "192.168.0.77 255.255.255.0");
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.found->ip, "192.168.0.77");
}

}  // namespace
