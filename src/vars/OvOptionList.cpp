#include "vars/OvOptionList.h"

#include <array>

#include "errors/Messages.h"
#include "errors/OvException.h"
#include "vars/IntegerText.h"

namespace {

constexpr std::string_view kNullValue = "(NULL)";

[[nodiscard]] char FoldAscii(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equality of the first n bytes, with ASCII letters folded unless case matters.
[[nodiscard]] bool SameBytes(std::string_view a, std::string_view b, std::size_t n,
                             bool caseSensitive) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        if (caseSensitive ? a[i] != b[i] : FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

[[nodiscard]] bool TextsEqual(std::string_view text, std::string_view option, bool caseSensitive) noexcept {
    return text.size() == option.size() && SameBytes(text, option, option.size(), caseSensitive);
}

// The text is at least as long as the option text and begins with it.
[[nodiscard]] bool StartsWith(std::string_view text, std::string_view option, bool caseSensitive) noexcept {
    return text.size() >= option.size() && SameBytes(text, option, option.size(), caseSensitive);
}

[[nodiscard]] bool IsDefinedKind(std::int32_t kind) noexcept {
    return kind == OvOptionList::kNumbers || kind == OvOptionList::kTexts || kind == OvOptionList::kPrefixes;
}

void Select(const OvOptionList& options, ItemSelector& control, std::string_view text) {
    control.SetItemIndex(options.IndexOfText(text));
    if (control.ItemIndex() < 0) control.SetItemIndex(options.IndexOfValue(text));
}

}  // namespace

OvOptionList::OvOptionList(const OptionDef* definitions, std::int32_t kind, bool caseSensitive)
    : kind_(kind), caseSensitive_(caseSensitive) {
    if (!IsDefinedKind(kind)) {
        throw OvException("Bad kind of option list: " + std::to_string(kind) + "!");
    }
    if (definitions == nullptr) return;
    for (const OptionDef* entry = definitions; entry->displayText != nullptr; ++entry) {
        detail::Option_s option;
        option.Number = entry->number;
        if (kind != kNumbers && entry->valueText != nullptr) option.ValueText = entry->valueText;
        option.DisplayText = entry->displayText;
        options_.push_back(std::move(option));
    }
}

const detail::Option_s& OvOptionList::Option(int index) const {
    if (index < 0 || index >= Count()) RaiseConstraintError(kIndexOutOfRange);
    return options_[static_cast<std::size_t>(index)];
}

int OvOptionList::IndexOfText(std::string_view text) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& display = options_[static_cast<std::size_t>(i)].DisplayText;
        const bool hit = (kind_ == kPrefixes) ? StartsWith(text, display, caseSensitive_)
                                              : TextsEqual(text, display, caseSensitive_);
        if (hit) return i;
    }
    return -1;
}

int OvOptionList::IndexOfValue(std::string_view text) const {
    if (options_.empty()) return -1;
    if (kind_ == kNumbers) {
        if (text == kNullValue) return -1;
        const std::int32_t number = ParseInt32Text(text);
        for (int i = 0; i < Count(); ++i) {
            if (options_[static_cast<std::size_t>(i)].Number == number) return i;
        }
        return -1;
    }
    for (int i = 0; i < Count(); ++i) {
        const std::string& value = options_[static_cast<std::size_t>(i)].ValueText;
        const bool hit = (kind_ == kPrefixes) ? StartsWith(text, value, caseSensitive_)
                                              : TextsEqual(text, value, caseSensitive_);
        if (hit) return i;
    }
    return -1;
}

std::string OvOptionList::ToDisplayText(std::string_view value) const {
    const int index = IndexOfValue(value);
    if (index < 0) return std::string(value);
    const detail::Option_s& option = options_[static_cast<std::size_t>(index)];
    if (kind_ != kPrefixes) return option.DisplayText;
    // A prefix match guarantees that value is at least as long as the option's value text.
    return option.DisplayText + std::string(value.substr(option.ValueText.size()));
}

std::string OvOptionList::ToValueText(std::string_view text) const {
    const int index = IndexOfText(text);
    if (index < 0) return std::string(text);
    const detail::Option_s& option = options_[static_cast<std::size_t>(index)];
    switch (kind_) {
        case kNumbers:
            return std::to_string(option.Number);
        case kTexts:
            return option.ValueText;
        default:
            return option.ValueText + std::string(text.substr(option.DisplayText.size()));
    }
}

void OvOptionList::SelectInComboBox(ItemSelector& comboBox, std::string_view text) const {
    Select(*this, comboBox, text);
}

void OvOptionList::SelectInRadioGroup(ItemSelector& radioGroup, std::string_view text) const {
    Select(*this, radioGroup, text);
}

const OvOptionList& TypeNames() {
    static constexpr std::array<OptionDef, 18> kTypeNames = {{
        {1, nullptr, "bool8"},
        {2, nullptr, "int8"},
        {3, nullptr, "uint8"},
        {4, nullptr, "bool16"},
        {5, nullptr, "int16"},
        {6, nullptr, "uint16"},
        {7, nullptr, "bool32"},
        {8, nullptr, "int32"},
        {9, nullptr, "uint32"},
        {10, nullptr, "double"},
        {11, nullptr, "timeticks"},
        {12, nullptr, "datetime"},
        {13, nullptr, "ipaddress"},
        {14, nullptr, "macaddress"},
        {15, nullptr, "bitstr"},
        {16, nullptr, "octetstr"},
        {17, nullptr, "displaystr"},
        {0, nullptr, nullptr},
    }};
    // Built once, on first use (thread-safe), and never changed afterwards.
    static const OvOptionList names(kTypeNames.data(), OvOptionList::kNumbers, false);
    return names;
}

const OvOptionList& AccessNames() {
    static constexpr std::array<OptionDef, 4> kAccessNames = {{
        {1, nullptr, "readonly"},
        {2, nullptr, "writeonly"},
        {3, nullptr, "readwrite"},
        {0, nullptr, nullptr},
    }};
    static const OvOptionList names(kAccessNames.data(), OvOptionList::kNumbers, false);
    return names;
}
