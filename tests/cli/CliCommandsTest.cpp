// The commands' exit statuses, messages and results on the in-memory network.
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliHelp.h"
#include "cli/CliProgram.h"
#include "errors/Messages.h"
#include "ndcp/wire/NDCPPacket.h"
#include "testkit/FakeDevicesTest.h"

namespace {

constexpr const char* kMac = "001122334401";
const NetworkAdapter kSecondAdapter{"eth1", 3, 0x0AC60201, 24};  // 10.198.2.1/24

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class CliCommandsTest : public FakeDevicesTest {
protected:
    Outcome Discover(DiscoverArguments arguments = {}) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunDiscover(arguments, out, err);
        return {status, out.str(), err.str()};
    }

    Outcome Set(const std::string& ip, const std::string& netmask = "255.255.255.0",
                const std::string& password = "admin", bool yes = false) {
        SetArguments arguments;
        arguments.mac = *MacTextToBytes(kMac);
        arguments.ip = ip;
        arguments.netmask = netmask;
        arguments.yes = yes;
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunSet(arguments, password, out, err);
        return {status, out.str(), err.str()};
    }

    std::size_t SetsSent() const {
        std::size_t sets = 0;
        for (const auto& request : network.Requests()) sets += request[kOffsetCommand] == kSetCommand;
        return sets;
    }
};

TEST_F(CliCommandsTest, DiscoverListsEachMacOnceAndOnlyTheModelUnlessAllModels) {
    FakeDevice other;
    other.mac = "0011223344FF";
    other.model = "KVX-100";
    FakeDevice first;
    first.name = "first";
    FakeDevice duplicate = first;
    duplicate.name = "second answer of the same MAC";
    StartWith({first, other, duplicate});
    const Outcome models = Discover();
    EXPECT_EQ(models.status, kExitDone);
    EXPECT_EQ(models.out,
              "Device Name  MAC Address   IP Address    Netmask        Adapter\n"
              "first        001122334401  192.168.0.20  255.255.255.0  eth0\n");
    DiscoverArguments all;
    all.allModels = true;
    all.format = ListFormat::Csv;
    EXPECT_EQ(Discover(all).out,
              "name,mac,ip,netmask,module,adapter\r\n"
              "first,001122334401,192.168.0.20,255.255.255.0,KVX-770B,eth0\r\n"
              "Storage,0011223344FF,192.168.0.20,255.255.255.0,KVX-100,eth0\r\n");
}

TEST_F(CliCommandsTest, DiscoverWithoutDevicesSaysWhyAndEndsWithOne) {
    FakeDevice other;
    other.model = "KVX-100";
    StartWith({other});
    DiscoverArguments arguments;
    arguments.format = ListFormat::Json;
    const Outcome run = Discover(arguments);
    EXPECT_EQ(run.status, kExitNoDevice);
    EXPECT_EQ(run.out, "[]\n");
    EXPECT_EQ(run.err, "orvalan-ndcp: 0 device found. 1 device answered, none of them a KVX-770B.\n");
}

TEST_F(CliCommandsTest, DiscoverThroughANamedAdapterOnly) {
    network.SetAdapters({FakeNetwork::FirstAdapter(), kSecondAdapter});
    FakeDevice far;
    far.adapterIndex = kSecondAdapter.index;
    StartWith({far});
    DiscoverArguments arguments;
    arguments.adapter = "eth1";
    const Outcome run = Discover(arguments);
    EXPECT_EQ(run.status, kExitDone) << run.err;
    ASSERT_EQ(network.SentThrough().size(), 1u);
    EXPECT_EQ(network.SentThrough()[0], kSecondAdapter);
    arguments.adapter = "wlan9";
    const Outcome unknown = Discover(arguments);
    EXPECT_EQ(unknown.status, kExitRefused);
    EXPECT_EQ(unknown.err,
              "orvalan-ndcp: No network adapter named wlan9 is up with an IPv4 address. The adapters are "
              "eth0 (192.168.0.0/24), eth1 (10.198.2.0/24).\n");
    EXPECT_EQ(network.Requests().size(), 1u);
}

// Each outcome of a Set: the exit status, what standard output and standard error say, whether the
// Set left.
struct SetCase {
    const char* name;
    FakeDevice device;
    std::string ip;
    std::string netmask;
    std::string password;
    bool yes;
    int status;
    std::string out;
    std::string err;
    std::size_t sets;
};

FakeDevice With(void (*change)(FakeDevice&)) {
    FakeDevice device;
    change(device);
    return device;
}

class CliSetTest : public CliCommandsTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(CliSetTest, ExitStatusAndMessages) {
    const SetCase& c = GetParam();
    StartWith({c.device});
    const Outcome run = Set(c.ip, c.netmask, c.password, c.yes);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(SetsSent(), c.sets);
    if (c.status == kExitPassword) {
        EXPECT_EQ(fakes->Devices()[0].ip, c.device.ip);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, CliSetTest,
    ::testing::Values(
        SetCase{"confirmed",
                {},
                "192.168.0.77",
                "255.255.255.0",
                "admin",
                false,
                kExitDone,
                "001122334401 192.168.0.77\n",
                "",
                1},
        SetCase{
            "refused_address_sends_nothing",
            {},
            "192.168.0.255",
            "255.255.255.0",
            "admin",
            false,
            kExitRefused,
            "",
            "orvalan-ndcp: 192.168.0.255 is the broadcast address of the network 192.168.0.0/24 (under the "
            "netmask 255.255.255.0), not one a device can use!\n",
            0},
        SetCase{"unknown_mac", With([](FakeDevice& d) { d.mac = "0011223344AA"; }), "192.168.0.77",
                "255.255.255.0", "admin", false, kExitNoDevice, "",
                "orvalan-ndcp: No KVX-770B with the MAC address 001122334401 answered within 3 s.\n", 0},
        SetCase{"other_model_is_not_found", With([](FakeDevice& d) { d.model = "KVX-100"; }), "192.168.0.77",
                "255.255.255.0", "admin", false, kExitNoDevice, "",
                "orvalan-ndcp: No KVX-770B with the MAC address 001122334401 answered within 3 s.\n", 0},
        SetCase{
            "across_networks_needs_yes",
            {},
            "10.0.0.5",
            "255.0.0.0",
            "admin",
            false,
            kExitRefused,
            "",
            "orvalan-ndcp: The new address 10.0.0.5 lies outside the network of eth0 (192.168.0.0/24), the "
            "adapter through which this PC reaches the device: after the change this PC will not reach it. "
            "Nothing was sent; give --yes to send it all the same.\n",
            0},
        SetCase{"across_networks_with_yes_is_sent",
                {},
                "10.0.0.5",
                "255.0.0.0",
                "admin",
                true,
                kExitDone,
                "001122334401 10.0.0.5\n",
                "",
                1},
        SetCase{"wrong_password_changes_nothing",
                {},
                "192.168.0.77",
                "255.255.255.0",
                "wrong",
                false,
                kExitPassword,
                "",
                "orvalan-ndcp: Password Error!\n",
                1},
        SetCase{
            "late_answer_but_took_effect", With([](FakeDevice& d) { d.setDelayMs = 1500; }), "192.168.0.77",
            "255.255.255.0", "admin", false, kExitDone, "001122334401 192.168.0.77\n",
            "orvalan-ndcp: Connection timeout! The change took effect although the device did not confirm "
            "it: it now answers at 192.168.0.77 (netmask 255.255.255.0).\n",
            1},
        SetCase{"no_answer_and_unchanged", With([](FakeDevice& d) {
                    d.answersSet = false;
                    d.appliesSet = false;
                }),
                "192.168.0.77", "255.255.255.0", "admin", false, kExitUnconfirmed, "",
                "orvalan-ndcp: Connection timeout! The device did not answer at 192.168.0.77; it still "
                "answers at "
                "192.168.0.20 (netmask 255.255.255.0).\n",
                1},
        SetCase{"accepted_then_silent", With([](FakeDevice& d) { d.answersDiscoverAfterSet = false; }),
                "192.168.0.77", "255.255.255.0", "admin", false, kExitUnconfirmed, "",
                "orvalan-ndcp: The device accepted 192.168.0.77 but did not answer there within a second.\n",
                1},
        SetCase{"accepted_but_answers_elsewhere", With([](FakeDevice& d) { d.appliesSet = false; }),
                "192.168.0.77", "255.255.255.0", "admin", false, kExitOtherError, "",
                "orvalan-ndcp: The device accepted 192.168.0.77 but answers at 192.168.0.20 (netmask "
                "255.255.255.0).\n",
                1}),
    [](const ::testing::TestParamInfo<SetCase>& info) { return std::string(info.param.name); });

TEST_F(CliCommandsTest, SetGoesThroughTheAdapterThatHeardTheDeviceAlone) {
    network.SetAdapters({FakeNetwork::FirstAdapter(), kSecondAdapter});
    FakeDevice far;
    far.ip = "10.198.2.50";
    far.adapterIndex = kSecondAdapter.index;
    StartWith({far});
    const Outcome run = Set("10.198.2.77");
    EXPECT_EQ(run.status, kExitDone) << run.err;
    std::vector<NetworkAdapter> setThrough;
    for (std::size_t i = 0; i < network.Requests().size(); ++i) {
        if (network.Requests()[i][kOffsetCommand] == kSetCommand)
            setThrough.push_back(network.SentThrough()[i]);
    }
    EXPECT_EQ(setThrough, std::vector<NetworkAdapter>{kSecondAdapter});
    EXPECT_EQ(fakes->Devices()[0].ip, "10.198.2.77");
}

TEST(CliExitStatusTest, RequestErrorsMapToTheirStatus) {
    EXPECT_EQ(ExitStatusOf(kPasswordError), kExitPassword);
    EXPECT_EQ(ExitStatusOf(kConnectionTimeout), kExitUnconfirmed);
    for (const int code : {kSocketNotReady, kSocketReadWriteError, kNotDone, kUnknownError, kBadPacket}) {
        EXPECT_EQ(ExitStatusOf(code), kExitOtherError) << code;
    }
}

}  // namespace
