#include "binding/ControlBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <climits>
#include <string>

#include "binding/OvLabel.h"
#include "binding/OvRadioGroup.h"
#include "binding/PartialValue.h"
#include "errors/Messages.h"
#include "vars/DateTimeText.h"
#include "vars/IntegerText.h"
#include "vars/OvNDCPVarList.h"
#include "vars/OvOptionList.h"
#include "vars/TimeTicks.h"
#include "vars/VarTypes.h"

namespace detail {

ControlBinding_s::ControlBinding_s(std::uint32_t varIndex, std::uint32_t partIndex, std::uint32_t startByte,
                                   std::uint8_t type, const OvOptionList* options,
                                   std::vector<QWidget*> controls, std::vector<std::int32_t> bits)
    : VarIndex(varIndex),
      PartIndex(partIndex),
      StartByte(startByte),
      Type(type),
      Options(options),
      bits_(std::move(bits)) {
    const bool noControl =
        std::any_of(controls.begin(), controls.end(), [](QWidget* c) { return c == nullptr; });
    if (controls.empty() || noControl || (!bits_.empty() && bits_.size() != controls.size())) {
        RaiseConstraintError(kIndexOutOfRange);
    }
    controls_.assign(controls.begin(), controls.end());
}

std::int32_t ControlBinding_s::Bit(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= bits_.size()) RaiseConstraintError(kIndexOutOfRange);
    return bits_[static_cast<std::size_t>(index)];
}

QWidget* ControlBinding_s::Control(int index) const {
    if (index < 0 || index >= Count()) RaiseConstraintError(kIndexOutOfRange);
    return controls_[static_cast<std::size_t>(index)].data();
}

}  // namespace detail

namespace {

using detail::ControlBinding_s;

// Seconds, minutes, hours and days in hundredths of a second.
constexpr std::uint32_t kTicksPerSecond = 100;
constexpr std::uint32_t kTicksPerMinute = 6000;
constexpr std::uint32_t kTicksPerHour = 360000;
constexpr std::uint32_t kTicksPerDay = 8640000;

// Edits a value of these types needs when shown in several edits.
constexpr int kTimeticksEdits = 5;
constexpr int kDateTimeEdits = 7;
constexpr int kIpAddressEdits = 4;
constexpr int kMacAddressEdits = 6;

// The variable or part a record is bound to: its type, option list and value text.
struct Source {
    int type;
    const OvOptionList* options;
    const std::string& value;
};

Source SourceOf(const OvNDCPVarList& vars, const ControlBinding_s& binding) {
    if (binding.VarIndex >= static_cast<std::uint32_t>(vars.Count())) RaiseConstraintError(kIndexOutOfRange);
    const detail::NDCPVar_s& var = vars.Var(static_cast<int>(binding.VarIndex));
    if (!var.Parts) return {var.Type, var.Options, var.Value};
    if (binding.PartIndex >= static_cast<std::uint32_t>(var.Parts->Count()))
        RaiseConstraintError(kIndexOutOfRange);
    const detail::NDCPResponseVar_s& part = var.Parts->Part(static_cast<int>(binding.PartIndex));
    return {part.Type, part.Options, part.Value};
}

[[noreturn]] void BadControl() { RaiseNDCPError(kBadControlType); }

QWidget& ControlAt(const ControlBinding_s& binding, int index) {
    QWidget* const control = binding.Control(index);
    if (control == nullptr) BadControl();
    return *control;
}

template <typename Kind>
Kind& ControlOfKind(const ControlBinding_s& binding, int index) {
    auto* const control = qobject_cast<Kind*>(&ControlAt(binding, index));
    if (control == nullptr) BadControl();
    return *control;
}

// The first n controls as edits; too few raise -1023.
std::vector<QLineEdit*> EditsOf(const ControlBinding_s& binding, int n) {
    if (binding.Count() < n) RaiseNDCPError(kTooFewEdits);
    std::vector<QLineEdit*> edits;
    for (int i = 0; i < n; ++i) edits.push_back(&ControlOfKind<QLineEdit>(binding, i));
    return edits;
}

// A combo box seen through the selector interface of the option lists.
class ComboBoxSelector final : public ItemSelector {
public:
    explicit ComboBoxSelector(QComboBox& box) : box_(box) {}
    void SetItemIndex(int index) override {
        box_.setCurrentIndex(index >= 0 && index < box_.count() ? index : -1);
    }
    [[nodiscard]] int ItemIndex() const override { return box_.currentIndex(); }

private:
    QComboBox& box_;
};

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

QString HexByte(std::uint8_t byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

// ---- showing ---------------------------------------------------------------------------------

void ShowCaption(QLabel& label, const QString& text) {
    label.setTextFormat(Qt::PlainText);  // value texts come from the devices: never markup
    if (auto* const ovLabel = qobject_cast<OvLabel*>(&label)) {
        ovLabel->SetCaption(text);
    } else {
        label.setText(text);
    }
}

void ShowInCheckBoxes(const ControlBinding_s& binding, const std::string& display, const ValueBytes& bytes,
                      const OvOptionList* options) {
    if (binding.HasBits()) {
        std::vector<std::pair<QCheckBox*, bool>> states;
        for (int i = 0; i < binding.Count(); ++i) {
            states.emplace_back(&ControlOfKind<QCheckBox>(binding, i), BitOf(bytes, binding.Bit(i)));
        }
        for (const auto& [box, checked] : states) box->setChecked(checked);
        return;
    }
    QCheckBox& box = ControlOfKind<QCheckBox>(binding, 0);
    if (options == nullptr) {
        if (!IsBooleanType(binding.Type)) RaiseNDCPError(kBadCheckBoxBinding);
        box.setChecked(display == "true");
        return;
    }
    int index = options->IndexOfText(display);
    if (index < 0) index = options->IndexOfValue(display);
    box.setChecked(index > 0);
}

void ShowInEdits(const ControlBinding_s& binding, const std::string& display, const ValueBytes& bytes) {
    const int count = binding.Count();
    const auto show = [](const std::vector<QLineEdit*>& edits, const std::vector<QString>& texts) {
        for (std::size_t i = 0; i < texts.size(); ++i) edits[i]->setText(texts[i]);
    };
    if (count == 1) {
        ControlOfKind<QLineEdit>(binding, 0).setText(ToQString(display));
        return;
    }
    switch (binding.Type) {
        case kTimeticks: {
            const auto edits = EditsOf(binding, kTimeticksEdits);
            const auto v = static_cast<std::uint32_t>(UnsignedOf(bytes, 4));
            show(edits,
                 {QString::number(v / kTicksPerDay), QString::number((v % kTicksPerDay) / kTicksPerHour),
                  QString::number((v % kTicksPerHour) / kTicksPerMinute),
                  QString::number((v % kTicksPerMinute) / kTicksPerSecond),
                  QString::number(v % kTicksPerSecond)});
            return;
        }
        case kDateTime: {
            const auto edits = EditsOf(binding, kDateTimeEdits);
            const DateTimeParts parts = DecodeDateTime(DateTimeOf(bytes));
            show(edits,
                 {QString::number(parts.year), QString::number(parts.month), QString::number(parts.day),
                  QString::number(parts.hour), QString::number(parts.minute), QString::number(parts.second),
                  QString::number(parts.millisecond)});
            return;
        }
        case kIpAddress: {
            const auto edits = EditsOf(binding, kIpAddressEdits);
            if (bytes.size() < 4) RaiseNDCPError(kBadPartialValue);
            show(edits, {QString::number(bytes[0]), QString::number(bytes[1]), QString::number(bytes[2]),
                         QString::number(bytes[3])});
            return;
        }
        case kMacAddress:
        case kBitStr:
        case kOctetStr: {
            const int needed =
                binding.Type == kMacAddress ? kMacAddressEdits : static_cast<int>(bytes.size());
            EditsOf(binding, needed);  // enough edits, or -1023
            const auto shown = std::min<std::size_t>(static_cast<std::size_t>(count), bytes.size());
            const auto edits = EditsOf(binding, static_cast<int>(shown));
            std::vector<QString> texts;
            for (std::size_t i = 0; i < shown; ++i) texts.push_back(HexByte(bytes[i]));
            show(edits, texts);
            return;
        }
        default:
            ControlOfKind<QLineEdit>(binding, 0).setText(ToQString(display));
            return;
    }
}

void Show(const ControlBinding_s& binding, const std::string& display, const ValueBytes& bytes,
          const OvOptionList* options) {
    QWidget& first = ControlAt(binding, 0);
    if (auto* const label = qobject_cast<QLabel*>(&first)) {
        ShowCaption(*label, ToQString(display));
    } else if (qobject_cast<QCheckBox*>(&first) != nullptr) {
        ShowInCheckBoxes(binding, display, bytes, options);
    } else if (auto* const combo = qobject_cast<QComboBox*>(&first)) {
        if (options == nullptr) RaiseNDCPError(kNoOptionListForChoice);
        ComboBoxSelector selector(*combo);
        options->SelectInComboBox(selector, display);
    } else if (auto* const group = qobject_cast<OvRadioGroup*>(&first)) {
        if (options == nullptr) RaiseNDCPError(kNoOptionListForChoice);
        options->SelectInRadioGroup(*group, display);
    } else if (qobject_cast<QLineEdit*>(&first) != nullptr) {
        ShowInEdits(binding, display, bytes);
    } else {
        BadControl();
    }
}

void ShowBinding(const OvNDCPVarList& vars, const ControlBinding_s& binding, const LocaleSettings& locale) {
    const Source source = SourceOf(vars, binding);
    std::string text = source.value;
    if (source.options != nullptr) text = source.options->ToValueText(text);
    ValueBytes bytes = TextToValue(text, source.type, locale);
    const OvOptionList* options = binding.Options;
    std::string display;
    if (binding.StartByte != 0 || binding.Type != source.type) {
        bytes = ExtractPartial(bytes, binding.StartByte, binding.Type);
        display = ValueToText(bytes, binding.Type, locale);
    } else {
        display = text;
        if (options == nullptr) options = source.options;
    }
    if (options != nullptr) display = options->ToDisplayText(display);
    Show(binding, display, bytes, options);
}

// ---- reading ---------------------------------------------------------------------------------

std::int64_t EditNumber(const QLineEdit* edit) { return LeadingInteger(edit->text().toStdString()); }

int EditInt(const QLineEdit* edit) {
    return static_cast<int>(std::clamp<std::int64_t>(EditNumber(edit), INT_MIN, INT_MAX));
}

// An edit's share of a hexadecimal text: "00" when empty, a single digit with a leading "0".
std::string HexPiece(const QLineEdit* edit) {
    const std::string text = edit->text().toStdString();
    if (text.empty()) return "00";
    if (edit->text().size() == 1) return "0" + text;
    return text;
}

std::string ReadEdits(const ControlBinding_s& binding, const LocaleSettings& locale) {
    const int count = binding.Count();
    if (count == 1) return ControlOfKind<QLineEdit>(binding, 0).text().toStdString();
    switch (binding.Type) {
        case kTimeticks: {
            const auto e = EditsOf(binding, kTimeticksEdits);
            const auto part = [&](int i) {
                return static_cast<std::uint32_t>(EditNumber(e[static_cast<std::size_t>(i)]));
            };
            const std::uint32_t value = part(0) * kTicksPerDay + part(1) * kTicksPerHour +
                                        part(2) * kTicksPerMinute + part(3) * kTicksPerSecond + part(4);
            return TimeTicks(value).ToText();
        }
        case kDateTime: {
            const auto e = EditsOf(binding, kDateTimeEdits);
            const double dateTime = EncodeDateTime(EditInt(e[0]), EditInt(e[1]), EditInt(e[2]), EditInt(e[3]),
                                                   EditInt(e[4]), EditInt(e[5]), EditInt(e[6]));
            return FormatDateTime(dateTime, locale);
        }
        case kIpAddress: {
            const auto e = EditsOf(binding, kIpAddressEdits);
            std::string text;
            for (std::size_t i = 0; i < e.size(); ++i) {
                if (i > 0) text += '.';
                text += std::to_string(static_cast<std::int32_t>(EditNumber(e[i])));
            }
            return text;
        }
        case kMacAddress:
        case kBitStr:
        case kOctetStr: {
            const auto e = EditsOf(binding, binding.Type == kMacAddress ? kMacAddressEdits : count);
            std::string text;
            for (const QLineEdit* edit : e) text += HexPiece(edit);
            return text;
        }
        default:
            return ControlOfKind<QLineEdit>(binding, 0).text().toStdString();
    }
}

// The value bytes a record's controls hold.
ValueBytes ReadBinding(const ControlBinding_s& binding, const OvOptionList* options,
                       const LocaleSettings& locale) {
    QWidget& first = ControlAt(binding, 0);
    std::string text;
    if (auto* const label = qobject_cast<QLabel*>(&first)) {
        text = label->text().toStdString();
    } else if (auto* const box = qobject_cast<QCheckBox*>(&first)) {
        if (binding.HasBits()) {
            ValueBytes bytes;
            for (int i = 0; i < binding.Count(); ++i) {
                SetBitOf(bytes, binding.Bit(i), ControlOfKind<QCheckBox>(binding, i).isChecked());
            }
            return bytes;
        }
        if (options != nullptr) {
            const int index = box->isChecked() ? 1 : 0;
            if (index >= options->Count()) RaiseConstraintError(kIndexOutOfRange);
            text = options->Option(index).DisplayText;
        } else {
            if (!IsBooleanType(binding.Type)) RaiseNDCPError(kBadCheckBoxBinding);
            text = box->isChecked() ? "true" : "false";
        }
    } else if (auto* const combo = qobject_cast<QComboBox*>(&first)) {
        // Without a selected item there is no text to read: the item list's own range error.
        if (combo->currentIndex() < 0) RaiseConstraintError(kIndexOutOfRange);
        text = combo->itemText(combo->currentIndex()).toStdString();
    } else if (auto* const group = qobject_cast<OvRadioGroup*>(&first)) {
        text = group->ItemText(group->ItemIndex()).toStdString();
    } else if (qobject_cast<QLineEdit*>(&first) != nullptr) {
        text = ReadEdits(binding, locale);
    } else {
        BadControl();
    }
    if (options != nullptr) text = options->ToValueText(text);
    return TextToValue(text, binding.Type, locale);
}

// The value bytes a variable's text starts from. The empty text (every variable is emptied before
// its controls are read) is the zero value for double and datetime, whose parsers refuse it.
ValueBytes StartingBytes(const std::string& text, int type, const LocaleSettings& locale) {
    if (text.empty() && (type == kDouble || type == kDateTime)) return ValueBytes(8, 0);
    return TextToValue(text, type, locale);
}

void Merge(ValueBytes& bytes, const ValueBytes& part, std::uint32_t startByte) {
    const std::size_t end = static_cast<std::size_t>(startByte) + part.size();
    if (bytes.size() < end) bytes.resize(end, 0);
    std::copy(part.begin(), part.end(), bytes.begin() + static_cast<std::ptrdiff_t>(startByte));
}

void CollectVariable(detail::NDCPVar_s& var, std::uint32_t varIndex,
                     std::span<const ControlBinding_s> bindings, const LocaleSettings& locale) {
    const auto bound = [varIndex](const ControlBinding_s& b) { return b.VarIndex == varIndex; };
    if (std::none_of(bindings.begin(), bindings.end(), bound)) return;
    std::string text = var.Value;
    if (var.Options != nullptr) text = var.Options->ToValueText(text);
    ValueBytes bytes = StartingBytes(text, var.Type, locale);
    bool applied = false;
    for (const ControlBinding_s& binding : bindings) {
        if (!bound(binding)) continue;
        if (!applied && var.Type == kDisplayStr) bytes.clear();  // rebuilt from its controls alone
        applied = true;
        const OvOptionList* options = binding.Options;
        if (binding.StartByte == 0 && binding.Type == var.Type && options == nullptr) options = var.Options;
        Merge(bytes, ReadBinding(binding, options, locale), binding.StartByte);
    }
    std::string result = ValueToText(bytes, var.Type, locale);
    if (var.Options != nullptr) result = var.Options->ToDisplayText(result);
    var.Value = std::move(result);
}

}  // namespace

void VariablesToControls(const OvNDCPVarList& vars, std::span<const ControlBinding_s> bindings,
                         const LocaleSettings& locale) {
    for (const ControlBinding_s& binding : bindings) ShowBinding(vars, binding, locale);
}

void ControlsToVariables(OvNDCPVarList& vars, std::span<const ControlBinding_s> bindings,
                         const LocaleSettings& locale) {
    for (const ControlBinding_s& binding : bindings) (void)SourceOf(vars, binding);
    for (int v = 0; v < vars.Count(); ++v) {
        detail::NDCPVar_s& var = vars.Var(v);
        if (!var.Parts) CollectVariable(var, static_cast<std::uint32_t>(v), bindings, locale);
    }
}
