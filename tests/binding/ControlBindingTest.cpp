#include "binding/ControlBinding.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "binding/OvComboBox.h"
#include "binding/OvRadioGroup.h"
#include "binding/PartialValue.h"
#include "errors/OvException.h"
#include "testkit/ExpectOvError.h"
#include "vars/OvNDCPVarList.h"
#include "vars/VarTypes.h"

namespace {

using detail::ControlBinding_s;

constexpr int kReadWrite = 3;

constexpr char kIndexError[] = "Out of range at index of array or list!";
constexpr char kBadControl[] =
    "Bad type of the VCL controls to be the edits related with a NDCP variable's (partial) data!";
constexpr char kTooFewEdits[] =
    "Count of the edits is not enough to put the NDCP variable's partial value on them!";

const OptionDef kModeOptions[] = {
    {0, nullptr, "Off"}, {1, nullptr, "On"}, {2, nullptr, "Auto"}, {0, nullptr, nullptr}};
const OvOptionList kModes(kModeOptions, OvOptionList::kNumbers, false);

const NDCPPartDef kDeviceParts[] = {{1, "Module", kDisplayStr, nullptr, "KVX-770B"},
                                    {2, "MAC", kMacAddress, nullptr, "0011AABBCCDD"},
                                    {0, nullptr, 0, nullptr, nullptr}};
const OvNDCPResponseVarList kDevice(kDeviceParts);

// Variable lists of single variables or several, ended by the entry without name.
OvNDCPVarList Vars(std::vector<NDCPVarDef> defs) {
    defs.push_back({0, nullptr, 0, 0, nullptr, nullptr, nullptr});
    return OvNDCPVarList(defs.data());
}

OvNDCPVarList Var(int type, const char* value, const OvOptionList* options = nullptr) {
    return Vars({{1, "V", type, kReadWrite, options, nullptr, value}});
}

// A window owning the controls of one test.
class ControlBindingTest : public ::testing::Test {
protected:
    template <typename Control>
    Control* Make() {
        return new Control(&window);
    }

    std::vector<QWidget*> Edits(std::initializer_list<const char*> texts) {
        std::vector<QWidget*> edits;
        for (const char* text : texts) {
            auto* const edit = Make<QLineEdit>();
            edit->setText(text);
            edits.push_back(edit);
        }
        return edits;
    }

    static QString TextOf(QWidget* edit) { return qobject_cast<QLineEdit*>(edit)->text(); }

    QWidget window;
};

TEST_F(ControlBindingTest, LabelShowsWholeAndPartialValues) {
    const struct {
        const char* name;
        int varType;
        const char* value;
        std::uint8_t type;
        std::uint32_t start;
        const char* shown;
    } rows[] = {
        {"int8_of_ff", kOctetStr, "FF", kInt8, 0, "-1"},
        {"uint8_of_ff", kOctetStr, "FF", kUInt8, 0, "255"},
        {"uint16_from_byte_2", kOctetStr, "01020304", kUInt16, 2, "1027"},
        {"low_byte_of_uint16", kUInt16, "1027", kUInt8, 0, "3"},
        {"whole_display_string", kDisplayStr, "hello", kDisplayStr, 0, "hello"},
        {"markup_shown_as_text", kDisplayStr, "<b>x</b>", kDisplayStr, 0, "<b>x</b>"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto* const label = Make<QLabel>();
        const OvNDCPVarList vars = Var(row.varType, row.value);
        const ControlBinding_s binding(0, 0, row.start, row.type, nullptr, {label});
        VariablesToControls(vars, {&binding, 1});
        EXPECT_EQ(label->text(), row.shown);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

TEST_F(ControlBindingTest, CheckBoxesShowAndSetSingleBits) {
    OvNDCPVarList vars = Var(kOctetStr, "8040");
    std::vector<QWidget*> boxes = {Make<QCheckBox>(), Make<QCheckBox>(), Make<QCheckBox>()};
    const ControlBinding_s binding(0, 0, 0, kOctetStr, nullptr, boxes, {0, 9, 1});
    VariablesToControls(vars, {&binding, 1});
    const auto checked = [&](int i) {
        return qobject_cast<QCheckBox*>(boxes[static_cast<std::size_t>(i)])->isChecked();
    };
    EXPECT_TRUE(checked(0));
    EXPECT_TRUE(checked(1));
    EXPECT_FALSE(checked(2));

    qobject_cast<QCheckBox*>(boxes[0])->setChecked(false);
    qobject_cast<QCheckBox*>(boxes[2])->setChecked(true);
    ControlsToVariables(vars, {&binding, 1});
    EXPECT_EQ(vars.Var(0).Value, "4040");

    const ControlBinding_s beyond(0, 0, 0, kOctetStr, nullptr, {boxes[0]}, {16});
    ExpectOvError(
        [&] {
            VariablesToControls(vars, {&beyond, 1});
        },
        -1021, "Out of range about the bit index of the NDCP variable's (partial) data related to a edit!");
}

TEST_F(ControlBindingTest, GroupsOfEditsShowAndBuildValues) {
    const struct {
        const char* name;
        int type;
        const char* value;
        QStringList shown;
        QStringList typed;
        const char* built;
    } rows[] = {
        {"ip", kIpAddress, "10.0.0.255", {"10", "0", "0", "255"}, {"192", "168", "0", "1"}, "192.168.0.1"},
        {"mac",
         kMacAddress,
         "0011AABBCCDD",
         {"00", "11", "AA", "BB", "CC", "DD"},
         {"0", "A", "", "1B", "ff", "3"},
         "000A001BFF03"},
        {"timeticks",
         kTimeticks,
         "1 day 1:02:03.45",
         {"1", "1", "2", "3", "45"},
         {"2", "0", "0", "0", "1"},
         "2 days, 0:00:00.01"},
        {"datetime",
         kDateTime,
         "2005/01/01 12:00:00 pm",
         {"2005", "1", "1", "12", "0", "0", "0"},
         {"2005", "1", "1", "13", "30", "0", "0"},
         "2005/01/01 01:30:00 pm"},
        // Edits beyond the bytes keep their text.
        {"octetstr", kOctetStr, "0A0B", {"0A", "0B", "old"}, {"1", "2", "3"}, "010203"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        OvNDCPVarList vars = Var(row.type, row.value);
        std::vector<QWidget*> edits;
        for (int i = 0; i < row.shown.size(); ++i) edits.push_back(Edits({"old"})[0]);
        const ControlBinding_s binding(0, 0, 0, static_cast<std::uint8_t>(row.type), nullptr, edits);
        VariablesToControls(vars, {&binding, 1});
        QStringList shown;
        for (QWidget* edit : edits) shown << TextOf(edit);
        EXPECT_EQ(shown, row.shown);
        for (int i = 0; i < row.typed.size(); ++i) qobject_cast<QLineEdit*>(edits[i])->setText(row.typed[i]);
        vars.Var(0).Value = "";  // as the binding leaves it before reading the controls
        ControlsToVariables(vars, {&binding, 1});
        EXPECT_EQ(vars.Var(0).Value, row.built);
    }
}

TEST_F(ControlBindingTest, EditGroupsNeedEnoughEditsAndBytes) {
    const struct {
        const char* name;
        int type;
        const char* value;
        int edits;
        int code;
        const char* message;
    } rows[] = {
        {"ip_three_edits", kIpAddress, "1.2.3.4", 3, -1023, kTooFewEdits},
        {"timeticks_four_edits", kTimeticks, "0:00:00.00", 4, -1023, kTooFewEdits},
        {"octetstr_more_bytes", kOctetStr, "010203", 2, -1023, kTooFewEdits},
        {"ip_not_an_address", kIpAddress, "not an address", 4, -1018,
         "Bad value of NDCP variable's (partial) data!"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const OvNDCPVarList vars = Var(row.type, row.value);
        std::vector<QWidget*> edits;
        for (int i = 0; i < row.edits; ++i) edits.push_back(Edits({""})[0]);
        const ControlBinding_s binding(0, 0, 0, static_cast<std::uint8_t>(row.type), nullptr, edits);
        ExpectOvError([&] { VariablesToControls(vars, {&binding, 1}); }, row.code, row.message);
    }
}

TEST_F(ControlBindingTest, DisplayStringIsRebuiltFromItsEditsAtTheirStartBytes) {
    const struct {
        const char* first;
        const char* second;
        const char* value;
    } rows[] = {{"abcd", "ef", "abcdef"}, {"abcdxy", "ef", "abcdef"}, {"ab", "cd", "ab"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        OvNDCPVarList vars = Var(kDisplayStr, "old text that goes");
        const ControlBinding_s bindings[] = {{0, 0, 0, kDisplayStr, nullptr, Edits({row.first})},
                                             {0, 0, 4, kDisplayStr, nullptr, Edits({row.second})}};
        ControlsToVariables(vars, bindings);
        // Gap bytes are zero, and a display string's text ends at its first zero byte.
        EXPECT_EQ(vars.Var(0).Value, row.value);
    }
}

TEST_F(ControlBindingTest, ChoicesSelectAndReadOptions) {
    OvNDCPVarList vars = Var(kUInt8, "Auto", &kModes);
    auto* const combo = Make<OvComboBox>();
    combo->addItems({"Off", "On", "Auto"});
    auto* const group = Make<OvRadioGroup>();
    group->SetItems({"Off", "On", "Auto"});
    const ControlBinding_s bindings[] = {{0, 0, 0, kUInt8, nullptr, {combo}},
                                         {0, 0, 0, kUInt8, nullptr, {group}}};
    VariablesToControls(vars, bindings);
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(group->ItemIndex(), 2);

    combo->setCurrentIndex(1);
    ControlsToVariables(vars, {&bindings[0], 1});
    EXPECT_EQ(vars.Var(0).Value, "On");

    combo->setCurrentIndex(-1);
    ExpectOvError([&] { ControlsToVariables(vars, {&bindings[0], 1}); }, -12, kIndexError);
    group->SetItemIndex(-1);
    ExpectOvError([&] { ControlsToVariables(vars, {&bindings[1], 1}); }, -12, kIndexError);

    const OvNDCPVarList plain = Var(kUInt8, "1");
    ExpectOvError(
        [&] {
            VariablesToControls(plain, {&bindings[1], 1});
        },
        -1020, "No reference option list for ComboBox or RadioGroup control!");
}

TEST_F(ControlBindingTest, CheckBoxShowsBooleansAndOptions) {
    auto* const box = Make<QCheckBox>();
    OvNDCPVarList flag = Var(kBool8, "true");
    const ControlBinding_s boolean(0, 0, 0, kBool8, nullptr, {box});
    VariablesToControls(flag, {&boolean, 1});
    EXPECT_TRUE(box->isChecked());

    OvNDCPVarList mode = Var(kUInt8, "Off", &kModes);
    const ControlBinding_s withOptions(0, 0, 0, kUInt8, nullptr, {box});
    VariablesToControls(mode, {&withOptions, 1});
    EXPECT_FALSE(box->isChecked());  // the first option means unchecked
    box->setChecked(true);
    ControlsToVariables(mode, {&withOptions, 1});
    EXPECT_EQ(mode.Var(0).Value, "On");

    const OvNDCPVarList number = Var(kUInt8, "1");
    const char* const syntax =
        "Bad syntax of the NDCP variable's (partial) data which is no reference option list and related a "
        "checkbox!";
    ExpectOvError([&] { VariablesToControls(number, {&withOptions, 1}); }, -1022, syntax);
}

TEST_F(ControlBindingTest, ControlsOfOtherKindsOrGoneAreRefused) {
    OvNDCPVarList vars = Var(kDisplayStr, "x");
    const ControlBinding_s button(0, 0, 0, kDisplayStr, nullptr, {Make<QPushButton>()});
    ExpectOvError([&] { VariablesToControls(vars, {&button, 1}); }, -1024, kBadControl);
    ExpectOvError([&] { ControlsToVariables(vars, {&button, 1}); }, -1024, kBadControl);

    auto gone = std::make_unique<QLabel>();
    const ControlBinding_s dangling(0, 0, 0, kDisplayStr, nullptr, {gone.get()});
    gone.reset();
    EXPECT_EQ(dangling.Control(0), nullptr);
    ExpectOvError([&] { VariablesToControls(vars, {&dangling, 1}); }, -1024, kBadControl);
}

TEST_F(ControlBindingTest, RecordsOutsideTheListAreRefusedBeforeAnythingChanges) {
    const NDCPVarDef defs[] = {{1, "V", kDisplayStr, kReadWrite, nullptr, nullptr, "keep"},
                               {9, "Device", 0, 1, nullptr, &kDevice, nullptr},
                               {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
    OvNDCPVarList vars(defs);
    auto* const label = Make<QLabel>();
    const ControlBinding_s good(0, 0, 0, kDisplayStr, nullptr, Edits({"new"}));
    for (const ControlBinding_s& bad : {ControlBinding_s(2, 0, 0, kDisplayStr, nullptr, {label}),
                                        ControlBinding_s(1, 2, 0, kDisplayStr, nullptr, {label})}) {
        SCOPED_TRACE(bad.VarIndex);
        const ControlBinding_s pair[] = {good, bad};
        ExpectOvError([&] { ControlsToVariables(vars, pair); }, -12, kIndexError);
        EXPECT_EQ(vars.Var(0).Value, "keep");
        ExpectOvError([&] { VariablesToControls(vars, {&bad, 1}); }, -12, kIndexError);
    }
}

TEST_F(ControlBindingTest, PartsAreShownButNotFilled) {
    const NDCPVarDef defs[] = {{9, "Device", 0, 1, nullptr, &kDevice, nullptr},
                               {0, nullptr, 0, 0, nullptr, nullptr, nullptr}};
    OvNDCPVarList vars(defs);
    auto* const label = Make<QLabel>();
    const ControlBinding_s mac(0, 1, 0, kMacAddress, nullptr, {label});
    VariablesToControls(vars, {&mac, 1});
    EXPECT_EQ(label->text(), "0011AABBCCDD");
    label->setText("FFFFFFFFFFFF");
    ControlsToVariables(vars, {&mac, 1});
    EXPECT_EQ(vars.Var(0).Parts->Part(1).Value, "0011AABBCCDD");
}

TEST_F(ControlBindingTest, UnboundVariablesAreLeftAloneAndEmptyOnesFilled) {
    OvNDCPVarList vars = Vars({{1, "Ratio", kDouble, kReadWrite, nullptr, nullptr, "not a number"},
                               {2, "Name", kDisplayStr, kReadWrite, nullptr, nullptr, ""}});
    const ControlBinding_s name(1, 0, 0, kDisplayStr, nullptr, Edits({"disk"}));
    ControlsToVariables(vars, {&name, 1});
    EXPECT_EQ(vars.Var(0).Value, "not a number");
    EXPECT_EQ(vars.Var(1).Value, "disk");

    OvNDCPVarList ratio = Var(kDouble, "");  // emptied before the controls are read
    const ControlBinding_s edit(0, 0, 0, kDouble, nullptr, Edits({"2.5"}));
    ControlsToVariables(ratio, {&edit, 1});
    EXPECT_EQ(ratio.Var(0).Value, "2.5");
}

TEST_F(ControlBindingTest, RecordKeepsCountBitsAndControlsTogether) {
    auto* const box = Make<QCheckBox>();
    ExpectOvError([&] { ControlBinding_s(0, 0, 0, kOctetStr, nullptr, {}); }, -12, kIndexError);
    ExpectOvError([&] { ControlBinding_s(0, 0, 0, kOctetStr, nullptr, {box, nullptr}); }, -12, kIndexError);
    ExpectOvError([&] { ControlBinding_s(0, 0, 0, kOctetStr, nullptr, {box}, {0, 1}); }, -12, kIndexError);
    const ControlBinding_s ok(0, 0, 0, kOctetStr, nullptr, {box}, {5});
    EXPECT_EQ(ok.Count(), 1);
    EXPECT_EQ(ok.Bit(0), 5);
    ExpectOvError([&] { (void)ok.Control(1); }, -12, kIndexError);
}

}  // namespace
