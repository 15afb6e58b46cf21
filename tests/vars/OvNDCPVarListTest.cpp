#include "vars/OvNDCPVarList.h"

#include <gtest/gtest.h>

#include "errors/OvException.h"
#include "vars/VarTypes.h"

#include <functional>
#include <initializer_list>

namespace {

constexpr NDCPPartDef kParts[] = {
    {1, "Module Name", kDisplayStr, nullptr, nullptr}, {2, "Device Name", kDisplayStr, nullptr, nullptr},
    {3, "MAC Address", kMacAddress, nullptr, nullptr}, {4, "IP Address", kIpAddress, nullptr, "0.0.0.0"},
    {5, "Netmask", kIpAddress, nullptr, nullptr},      {0, nullptr, 0, nullptr, nullptr},
};
constexpr OptionDef kOnOff[] = {{1, nullptr, "On"}, {0, nullptr, "Off"}, {0, nullptr, nullptr}};

class OvNDCPVarListTest : public ::testing::Test {
protected:
    const OvNDCPResponseVarList parts_{kParts};
    const OvOptionList onOff_{kOnOff, OvOptionList::kNumbers, false};
    const NDCPVarDef defs_[4] = {
        {1, "Discovery", kTypeNone, kReadable, nullptr, &parts_, nullptr},
        {7, "Power", kBool8, kReadable | kWritable, &onOff_, nullptr, "On"},
        {8, "Secret", kDisplayStr, kWritable, &onOff_, nullptr, nullptr},
        {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
    };
};

TEST_F(OvNDCPVarListTest, CopiesShareOptionsAndOwnTheirParts) {
    OvNDCPVarList list(defs_);
    list.Name = "Discovery Table";
    list.OwnedOptionLists.push_back(std::make_unique<OvOptionList>(kOnOff, OvOptionList::kNumbers, true));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.ReadableValueCount(), 6);  // five parts, one readable variable, one write-only
    EXPECT_EQ(list.Var(1).Value + "|" + list.Var(2).Value + "|" + list.Var(0).Parts->Part(3).Value,
              "On||0.0.0.0");
    list.Var(0).Parts->Part(0).Value = "KVX-770B";
    EXPECT_EQ(parts_.Part(0).Value, "");  // the definition's parts were copied
    {
        OvNDCPVarList copy(list);
        EXPECT_EQ(copy.Name, "");
        EXPECT_TRUE(copy.OwnedOptionLists.empty());
        EXPECT_EQ(copy.Var(2).Options, &onOff_);
        copy.Var(0).Parts->Part(0).Value = "changed";
        detail::NDCPVar_s var = copy.Var(0);
        var.Parts->Part(1).Value = "changed too";
        EXPECT_EQ(copy.Var(0).Parts->Part(1).Value, "");
    }
    // The copy is gone; the shared option list and the original's parts are intact.
    EXPECT_EQ(list.Var(1).Options->ToDisplayText("0"), "Off");
    EXPECT_EQ(list.Var(0).Parts->Part(0).Value, "KVX-770B");

    OvNDCPVarList answer(defs_ + 1);
    list.Assign(answer);
    list.Assign(list);  // a self-assignment keeps the variables
    EXPECT_EQ(list.Name, "Discovery Table");
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Var(0).Name, "Power");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.OwnedOptionLists.size(), 1U);
}

TEST_F(OvNDCPVarListTest, AppendsInOrderAndRefusesBadPositions) {
    OvNDCPVarList list(defs_ + 3);  // only the end marker
    list.AddDefinitions(nullptr);
    EXPECT_EQ(list.Count(), 0);
    list.AddDefinitions(defs_ + 2);
    list.AddDefinitions(defs_);
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Var(0).Name + list.Var(1).Name + list.Var(3).Name, "SecretDiscoverySecret");
    const OvNDCPVarList& constList = list;
    for (const auto& access : std::initializer_list<std::function<void()>>{
             [&] { (void)list.Var(4); }, [&] { (void)constList.Var(-1); },
             [&] { (void)list.Var(1).Parts->Part(5); }}) {
        try {
            access();
            ADD_FAILURE() << "no error raised";
        } catch (const OvException& e) {
            EXPECT_EQ(std::pair(e.Code(), e.Message()),
                      std::pair(-12, std::string("Out of range at index of array or list!")));
        }
    }
}

}  // namespace
