// Edit-constraint formats without widgets: the row of labels and specifiers a panel format reads
// into, every specifier's rules, and the filter and the check those rules apply to typed text.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "FuzzInput.h"
#include "binding/format/EditSpecifier.h"
#include "binding/format/PanelRow.h"
#include "vars/FloatText.h"
#include "vars/IntegerText.h"

namespace {

constexpr std::string_view kConversions = "fhinsu";

// A refused number is one of the specifier's and one that its conversion refuses.
void CheckRefusal(std::string_view specifier, const SpecifierRefusal& refusal) {
    using Reason = SpecifierRefusal::Reason;
    if (refusal.reason == Reason::Grammar) {
        if (!refusal.number.empty()) FuzzFailure("a grammar refusal names no number", specifier);
        return;
    }
    const char* const begin = refusal.number.data();
    if (refusal.number.empty() || begin < specifier.data() ||
        begin + refusal.number.size() > specifier.data() + specifier.size()) {
        FuzzFailure("a refused number lies inside its specifier", specifier);
    }
    const bool refused = refusal.reason == Reason::Integer ? !TryParseInt32Text(refusal.number).has_value()
                                                           : !TryParseFloatText(refusal.number).has_value();
    if (!refused) FuzzFailure("a refused number is one the conversion refuses", specifier);
}

// Whether kept is what remains of text after removing some of its characters.
[[nodiscard]] bool IsSubsequence(std::u16string_view kept, std::u16string_view text) {
    std::size_t at = 0;
    for (const char16_t c : kept) {
        while (at < text.size() && text[at] != c) ++at;
        if (at == text.size()) return false;
        ++at;
    }
    return true;
}

void CheckSpecifier(std::string_view specifier, std::u16string_view text) {
    // The reading that neither raises nor allocates: under the sanitizers a raised error costs
    // more than all the rest together. The errors it stands for are the unit tests' matter.
    const auto reading = ReadEditSpecifier(specifier);
    if (const auto* const refusal = std::get_if<SpecifierRefusal>(&reading)) {
        CheckRefusal(specifier, *refusal);
        return;
    }
    const EditSpecifier& rules = std::get<EditSpecifier>(reading);
    if (kConversions.find(rules.Conversion) == std::string_view::npos) FuzzFailure("conversion letter");
    const std::u16string filtered = FilterEditText(rules, text);
    if (!IsSubsequence(filtered, text)) FuzzFailure("filtering only removes characters");
    if (FilterEditText(rules, filtered) != filtered) FuzzFailure("a filtered text passes the filter");
    // An edit's text is filtered on every change, so the check on leaving sees a filtered text.
    if (const auto rejection = RejectionOf(rules, filtered); rejection && rejection->empty()) {
        FuzzFailure("a rejection has a message");
    }
}

// The row holds the whole format: its literals (with "%" written "%%") and specifiers put side by
// side give the format back, less a "%" that ends it.
void CheckRow(std::string_view format, const std::vector<PanelItem>& row) {
    std::string written;
    bool afterLiteral = false;
    for (const PanelItem& item : row) {
        if (item.text.empty()) FuzzFailure("a control of the row has a text", format);
        if (item.kind == PanelItem::Kind::Specifier) {
            if (item.text.front() != '%') FuzzFailure("a specifier starts with %", format);
            written += item.text;
            afterLiteral = false;
            continue;
        }
        if (afterLiteral) FuzzFailure("neighbouring literals are one label", format);
        for (const char c : item.text) written += c == '%' ? std::string_view("%%") : std::string_view(&c, 1);
        afterLiteral = true;
    }
    if (written != format && written + '%' != format) FuzzFailure("the row holds the whole format", format);
}

// Latin-1 (one byte a character) or UTF-16 code units (two bytes, low first, unpaired surrogates
// included), as an edit may hold them.
[[nodiscard]] std::u16string EditText(std::string_view bytes, bool utf16) {
    std::u16string text;
    if (!utf16) {
        for (const char c : bytes) text.push_back(static_cast<unsigned char>(c));
        return text;
    }
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
        const auto low = static_cast<unsigned char>(bytes[at]);
        const auto high = static_cast<unsigned char>(bytes[at + 1]);
        text.push_back(static_cast<char16_t>(low | high << 8));
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input({data, size});
    const std::uint8_t flags = input.Byte();
    const std::string format = input.LongText();
    const std::u16string text = EditText(input.RestText(), (flags & 1) != 0);
    // Each specifier once, with the same text: the format alone is often one, and then its row and
    // its split too, and a format may repeat one.
    std::vector<std::string_view> checked;
    const auto checkOnce = [&](std::string_view specifier) {
        if (std::find(checked.begin(), checked.end(), specifier) != checked.end()) return;
        checked.push_back(specifier);
        CheckSpecifier(specifier, text);
    };
    checkOnce(format);
    const std::vector<PanelItem> row = ParsePanelRow(format);
    CheckRow(format, row);
    for (const PanelItem& item : row) {
        if (item.kind == PanelItem::Kind::Specifier) checkOnce(item.text);
    }
    const std::vector<std::string> split = SplitSpecifiers(format);
    for (const std::string& specifier : split) checkOnce(specifier);
    return 0;
}
