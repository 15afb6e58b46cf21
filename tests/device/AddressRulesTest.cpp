#include "device/AddressRules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

#include "device/Reachability.h"
#include "errors/OvException.h"

namespace {

TEST(CheckedAddressTest, CompleteAddressesAreWrittenInPlainDecimal) {
    const std::tuple<const char*, AddressKind, std::uint32_t, const char*> cases[] = {
        {"192.168.0.5", AddressKind::IpAddress, 0xC0A80005, "192.168.0.5"},
        {"192.168.000.010", AddressKind::IpAddress, 0xC0A8000A, "192.168.0.10"},  // not octal
        {"10.0.0.08", AddressKind::IpAddress, 0x0A000008, "10.0.0.8"},            // not "no address"
        {"255.255.128.0", AddressKind::Netmask, 0xFFFF8000, "255.255.128.0"},
        {"255.255.255.255", AddressKind::Netmask, 0xFFFFFFFF, "255.255.255.255"},
        {"0.0.0.0", AddressKind::Netmask, 0, "0.0.0.0"},
    };
    for (const auto& [text, kind, bits, expected] : cases) {
        EXPECT_EQ(CheckedAddress(text, kind), bits) << text;
        EXPECT_EQ(CheckedAddressText(text, kind), expected) << text;
    }
}

TEST(CheckedAddressTest, IncompleteOrImpossibleAddressesAreRefusedWithTheirReason) {
    const std::tuple<const char*, AddressKind, const char*> cases[] = {
        {"192.168..5", AddressKind::IpAddress, kIncompleteIpAddress},
        {"", AddressKind::IpAddress, kIncompleteIpAddress},
        {"1.2.3", AddressKind::IpAddress, kIncompleteIpAddress},
        {"1.2.3.4.5", AddressKind::IpAddress, kIncompleteIpAddress},
        {".1.2.3", AddressKind::IpAddress, kIncompleteIpAddress},
        {"255.255.255.", AddressKind::Netmask, kIncompleteNetmask},
        {"192.168.0.256", AddressKind::IpAddress, kAddressNumberOutOfRange},
        {"192.168.0.1x", AddressKind::IpAddress, kAddressNumberOutOfRange},
        {"192.168.0.99999999999", AddressKind::IpAddress, kAddressNumberOutOfRange},
        {"192.168.0.-1", AddressKind::IpAddress, kAddressNumberOutOfRange},
        {"1x.2.3.", AddressKind::IpAddress, kIncompleteIpAddress},  // the missing number first
        {"255.0.255.0", AddressKind::Netmask, kNetmaskNotContiguous},
        {"255.255.255.1", AddressKind::Netmask, kNetmaskNotContiguous},
        {"0.255.255.255", AddressKind::Netmask, kNetmaskNotContiguous},
    };
    for (const auto& [text, kind, message] : cases) {
        SCOPED_TRACE(text);
        try {
            static_cast<void>(CheckedAddressText(text, kind));
            ADD_FAILURE() << "accepted";
        } catch (const OvException& error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
}

TEST(SetIPRefusalTest, AddressesThatLeaveTheDeviceReachableAreSent) {
    const std::pair<const char*, const char*> accepted[] = {
        {"192.168.1.10", "255.255.0.0"},      {"10.0.0.1", "255.0.0.0"},
        {"223.255.255.254", "255.255.255.0"}, {"1.0.0.1", "255.255.255.252"},
        {"172.16.15.254", "255.255.240.0"},   {"126.255.255.1", "128.0.0.0"},
        {"192.168.000.077", "255.255.0.0"},  // leading zeros are not octal
    };
    for (const auto& [address, netmask] : accepted) {
        EXPECT_EQ(SetIPRefusal(address, netmask), std::nullopt) << address << " " << netmask;
    }
}

// Each refusal with its message and the field the user is sent to: 0 to 3 the address, 4 to 7 the
// netmask.
TEST(SetIPRefusalTest, EachRefusalSaysWhyAndPointsAtTheFirstFieldToCorrect) {
    const struct {
        const char* name;
        const char* address;
        const char* netmask;
        std::string message;
        int field;
    } cases[] = {
        {"empty address", "", "255.255.0.0", kIncompleteIpAddress, 0},
        {"empty third number", "192.168..10", "255.255.0.0", kIncompleteIpAddress, 2},
        {"number above 255", "192.168.1.300", "255.255.0.0", kAddressNumberOutOfRange, 3},
        {"this network", "0.1.2.3", "255.0.0.0", kAddressBeginsWithZero, 0},
        {"all zeros, netmask too", "0.0.0.0", "0.0.0.0", kAddressBeginsWithZero, 0},
        {"loopback", "127.0.0.1", "255.0.0.0", kAddressIsLoopback, 0},
        {"multicast", "224.0.0.1", "255.255.255.0", kAddressIsMulticastOrReserved, 0},
        {"limited broadcast", "255.255.255.255", "255.255.0.0", kAddressIsMulticastOrReserved, 0},
        {"empty netmask number", "192.168.1.10", "255.255..0", kIncompleteNetmask, 6},
        {"netmask number above 255", "192.168.1.10", "255.999.0.0", kAddressNumberOutOfRange, 5},
        {"netmask with a hole", "192.168.1.10", "255.0.255.0", kNetmaskNotContiguous, 6},
        {"netmask hole inside a number", "192.168.1.10", "255.255.253.0", kNetmaskNotContiguous, 6},
        {"netmask of a lone low bit", "192.168.1.10", "0.0.0.1", kNetmaskNotContiguous, 7},
        {"netmask all zeros", "192.168.1.10", "0.0.0.0", kNetmaskAllZeros, 4},
        {"netmask all ones", "192.168.1.10", "255.255.255.255", kNetmaskAllOnes, 7},
        {"network's own address", "192.168.1.0", "255.255.255.0",
         "192.168.1.0 is the address of the network 192.168.1.0/24 itself (under the netmask 255.255.255.0), "
         "not one a device can use!",
         3},
        {"network's broadcast", "192.168.1.255", "255.255.255.0",
         "192.168.1.255 is the broadcast address of the network 192.168.1.0/24 (under the netmask "
         "255.255.255.0), not one a device can use!",
         3},
        {"broadcast across a number", "172.16.15.255", "255.255.240.0",
         "172.16.15.255 is the broadcast address of the network 172.16.0.0/20 (under the netmask "
         "255.255.240.0), not one a device can use!",
         2},
        {"network of a /8", "10.0.0.0", "255.0.0.0",
         "10.0.0.0 is the address of the network 10.0.0.0/8 itself (under the netmask 255.0.0.0), not one a "
         "device can use!",
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SetIPRefusal(c.address, c.netmask), (AddressRefusal{c.message, c.field}));
    }
}

TEST(CrossNetworkQuestionTest, AsksOnlyForAnAddressOutsideTheNetworkOfTheAdapterThatHeardTheDevice) {
    const NetworkAdapter eth1{"eth1", 3, 0x0AC60201, 24};  // 10.198.2.1/24
    EXPECT_EQ(CrossNetworkQuestion("10.198.2.50", eth1), std::nullopt);
    EXPECT_EQ(CrossNetworkQuestion("10.198.3.50", NetworkAdapter{}), std::nullopt);  // adapter not known
    EXPECT_EQ(CrossNetworkQuestion("10.198..50", eth1), std::nullopt);
    EXPECT_EQ(
        CrossNetworkQuestion("10.198.3.50", eth1),
        "The new address 10.198.3.50 lies outside the network of eth1 (10.198.2.0/24), the adapter through "
        "which this PC reaches the device. After the change this PC will not reach the device; it would "
        "reach it at an address in 10.198.2.0/24 through eth1.\n\nSend the new address anyway?");
}

}  // namespace
