#include "device/AddressRules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

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

}  // namespace
