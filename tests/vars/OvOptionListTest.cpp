#include "vars/OvOptionList.h"

#include <gtest/gtest.h>

#include "errors/OvException.h"

#include <functional>
#include <tuple>
#include <vector>

namespace {

std::pair<int, std::string> ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const OvException& e) {
        return {e.Code(), e.Message()};
    }
    return {1, "no error raised"};
}

struct FakeChoice : ItemSelector {
    int index = 7;
    void SetItemIndex(int i) override { index = i; }
    [[nodiscard]] int ItemIndex() const override { return index; }
};

constexpr OptionDef kOnOff[] = {{1, nullptr, "On"}, {0, nullptr, "Off"}, {0, nullptr, nullptr}};
constexpr OptionDef kSlots[] = {{0, "01", "Disk "}, {0, "02", "USB "}, {0, nullptr, nullptr}};
constexpr OptionDef kModes[] = {{0, "a", "Auto"}, {0, "m", "Manual"}, {0, nullptr, nullptr}};
const OvOptionList onOff(kOnOff, OvOptionList::kNumbers, false);
const OvOptionList slots(kSlots, OvOptionList::kPrefixes, false);
const OvOptionList slotsCase(kSlots, OvOptionList::kPrefixes, true);
const OvOptionList modes(kModes, OvOptionList::kTexts, true);

TEST(OvOptionListTest, MapsBetweenValuesAndDisplayTexts) {
    const std::pair<std::string, std::string> rows[] = {
        {onOff.ToDisplayText("1"), "On"},
        {onOff.ToValueText("off"), "0"},
        {onOff.ToValueText("maybe"), "maybe"},
        {onOff.ToDisplayText("5"), "5"},
        {slots.ToDisplayText("01-A"), "Disk -A"},
        {slots.ToValueText("USB 7"), "027"},
        {slots.ToValueText("usb 7"), "027"},
        {slotsCase.ToValueText("usb 7"), "usb 7"},
        {slots.ToValueText("USB"), "USB"},
        {modes.ToValueText("Auto "), "Auto "},
        {modes.ToValueText("auto"), "auto"},
        {modes.ToDisplayText("m"), "Manual"},
        {TypeNames().ToValueText("displaystr"), "17"},
        {AccessNames().ToValueText("WriteOnly"), "2"},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].first, rows[i].second) << "row " << i;
    EXPECT_EQ(onOff.IndexOfValue("(NULL)"), -1);
    EXPECT_EQ(TypeNames().IndexOfText("INT16"), 4);
    EXPECT_EQ(&TypeNames(), &TypeNames());
    EXPECT_EQ(ErrorOf([] { (void)onOff.IndexOfValue("x"); }),
              std::pair(-1015, std::string("'x' is not a valid integer value")));
    EXPECT_EQ(ErrorOf([] { (void)onOff.Option(2); }),
              std::pair(-12, std::string("Out of range at index of array or list!")));
    EXPECT_EQ(ErrorOf([] { OvOptionList(kOnOff, 4, false); }),
              std::pair(-1015, std::string("Bad kind of option list: 4!")));
}

TEST(OvOptionListTest, NameListsHoldEveryTypeAndAccessNameAtItsCode) {
    const std::vector<std::string> types = {"bool8",     "int8",      "uint8",     "bool16",     "int16",
                                            "uint16",    "bool32",    "int32",     "uint32",     "double",
                                            "timeticks", "datetime",  "ipaddress", "macaddress", "bitstr",
                                            "octetstr",  "displaystr"};
    const std::vector<std::string> access = {"readonly", "writeonly", "readwrite"};
    for (const auto& [list, names] : {std::pair{&TypeNames(), types}, {&AccessNames(), access}}) {
        ASSERT_EQ(list->Count(), static_cast<int>(names.size()));
        for (int i = 0; i < list->Count(); ++i) {
            const std::string code = std::to_string(i + 1);
            EXPECT_EQ(list->ToDisplayText(code), names[static_cast<std::size_t>(i)]);
            EXPECT_EQ(list->ToValueText(names[static_cast<std::size_t>(i)]), code);
        }
    }
}

TEST(OvOptionListTest, SelectsByDisplayTextThenByValue) {
    const std::tuple<const OvOptionList&, const char*, int> rows[] = {
        {onOff, "Off", 1}, {onOff, "0", 1}, {onOff, "(NULL)", -1}, {modes, "m", 1}, {modes, "x", -1}};
    for (const auto& [list, text, expected] : rows) {
        FakeChoice combo;
        FakeChoice radio;
        list.SelectInComboBox(combo, text);
        list.SelectInRadioGroup(radio, text);
        EXPECT_EQ(std::pair(combo.index, radio.index), std::pair(expected, expected)) << text;
    }
    FakeChoice combo;
    EXPECT_EQ(ErrorOf([&] { onOff.SelectInComboBox(combo, "maybe"); }).second,
              "'maybe' is not a valid integer value");
}

}  // namespace
