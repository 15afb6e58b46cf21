#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vars/NDCPVar.h"

namespace detail {
// One option: a value (a number for kind 1, a text otherwise) and its display text.
struct Option_s {
    std::int32_t Number = 0;
    std::string ValueText;
    std::string DisplayText;
};
}  // namespace detail

// A control whose selected item can be set by index: a combo box or a radio group.
class ItemSelector {
public:
    virtual ~ItemSelector() = default;
    virtual void SetItemIndex(int index) = 0;
    [[nodiscard]] virtual int ItemIndex() const = 0;
};

// Pairs of value and display text. Kind 1: signed 32-bit numbers as values; kind 2: texts;
// kind 3: texts that match as prefixes.
class OvOptionList {
public:
    enum Kind : std::int32_t { kNumbers = 1, kTexts = 2, kPrefixes = 3 };

    // Builds the options of a definition table ended by an entry without display text.
    OvOptionList(const OptionDef* definitions, std::int32_t kind, bool caseSensitive);

    [[nodiscard]] std::int32_t Kind() const noexcept { return kind_; }
    [[nodiscard]] bool CaseSensitive() const noexcept { return caseSensitive_; }
    [[nodiscard]] int Count() const noexcept { return static_cast<int>(options_.size()); }
    // Throws OvException (index out of range) for a position outside 0 to Count() - 1.
    [[nodiscard]] const detail::Option_s& Option(int index) const;

    [[nodiscard]] int IndexOfText(std::string_view text) const;
    // Kind 1 raises OvException (kUnknownError, quoting the text) for a text that is neither "(NULL)"
    // nor a signed 32-bit decimal integer.
    [[nodiscard]] int IndexOfValue(std::string_view text) const;
    [[nodiscard]] std::string ToDisplayText(std::string_view value) const;
    [[nodiscard]] std::string ToValueText(std::string_view text) const;

    void SelectInComboBox(ItemSelector& comboBox, std::string_view text) const;
    void SelectInRadioGroup(ItemSelector& radioGroup, std::string_view text) const;

private:
    std::int32_t kind_;
    bool caseSensitive_;
    std::vector<detail::Option_s> options_;
};

// Process-wide name lists, built on first use and never changed.
// TypeNames: the seventeen type names (value = type code); AccessNames: readonly, writeonly, readwrite.
[[nodiscard]] const OvOptionList& TypeNames();
[[nodiscard]] const OvOptionList& AccessNames();
