// Edit-constraint formats without widgets: the row of labels and specifiers a panel format reads
// into, every specifier's rules, and the filter and the check those rules apply to typed text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "binding/format/EditSpecifier.h"
#include "binding/format/PanelRow.h"
#include "errors/Messages.h"
#include "errors/OvException.h"

namespace {

constexpr std::string_view kConversions = "fhinsu";

void CheckCode(const OvException& e, std::initializer_list<int> allowed, std::string_view what) {
    for (const int code : allowed) {
        if (e.Code() == code) return;
    }
    FuzzFailure(what, e.what());
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
    EditSpecifier rules;
    try {
        rules = ParseEditSpecifier(specifier);
    } catch (const OvException& e) {
        CheckCode(e, {-kBadFormatSpecifier, kUnknownError}, "specifier refusal code");
        return;
    }
    if (kConversions.find(rules.Conversion) == std::string_view::npos) FuzzFailure("conversion letter");
    const std::u16string filtered = FilterEditText(rules, text);
    if (!IsSubsequence(filtered, text)) FuzzFailure("filtering only removes characters");
    if (FilterEditText(rules, filtered) != filtered) FuzzFailure("a filtered text passes the filter");
    for (const std::u16string_view checked : {text, std::u16string_view(filtered)}) {
        if (const auto rejection = RejectionOf(rules, checked); rejection && rejection->empty()) {
            FuzzFailure("a rejection has a message");
        }
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
    CheckSpecifier(format, text);
    const std::vector<PanelItem> row = ParsePanelRow(format);
    CheckRow(format, row);
    for (const PanelItem& item : row) {
        if (item.kind == PanelItem::Kind::Specifier) CheckSpecifier(item.text, text);
    }
    for (const std::string& specifier : SplitSpecifiers(format)) CheckSpecifier(specifier, text);
    return 0;
}
