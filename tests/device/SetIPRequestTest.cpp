#include "device/SetIPRequest.h"

#include <gtest/gtest.h>

#include <tuple>

#include "device/AddressRules.h"
#include "device/DeviceProfile.h"
#include "errors/OvException.h"
#include "vars/OvNDCPVarList.h"

namespace {

TEST(SetIPRequestTest, CarriesTheCheckedAddressAndNetmaskAfterWhatTheListHeld) {
    OvNDCPVarList vars;
    vars.AddDefinitions(DiscoveryVarDefs());
    AddSetIPVars(vars, "192.168.000.077", "255.255.0.0");
    ASSERT_EQ(vars.Count(), 3);
    const struct {
        int id;
        const char* name;
        const char* value;
    } expected[] = {{kIpAddressId, "IP Address", "192.168.0.77"}, {kNetmaskId, "Netmask", "255.255.0.0"}};
    for (int i = 0; i < 2; ++i) {
        const auto& var = vars.Var(i + 1);
        EXPECT_EQ(var.Id, expected[i].id);
        EXPECT_EQ(var.Name, expected[i].name);
        EXPECT_EQ(var.Type, kIpAddress);
        EXPECT_EQ(var.Access, kReadable | kWritable);
        EXPECT_EQ(var.Value, expected[i].value);
    }
}

TEST(SetIPRequestTest, RefusedAddressesLeaveTheListAsItWas) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"192.168.0.", "255.255.0.", kIncompleteIpAddress},  // the address is checked first
        {"192.168.0.1", "255.0.255.0", kNetmaskNotContiguous},
        {"0.0.0.0", "0.0.0.0", kAddressBeginsWithZero},  // a device would take it and be lost
    };
    for (const auto& [address, netmask, message] : cases) {
        OvNDCPVarList vars;
        try {
            AddSetIPVars(vars, address, netmask);
            ADD_FAILURE() << address << " " << netmask << " accepted";
        } catch (const OvException& error) {
            EXPECT_STREQ(error.what(), message);
        }
        EXPECT_EQ(vars.Count(), 0);
    }
}

TEST(SetIPRequestTest, PasswordIsTheAccessPasswordUnderTheFixedKey) {
    EXPECT_EQ(SetIPPassword("admin"), "A9F87529E5FB1F7C");
}

}  // namespace
