#pragma once

#include <string>
#include <string_view>
#include <vector>

// One control of a panel row that a format describes: a literal text shown as a label, or an edit
// specifier ("%u{w36n0x255l3ae.}") that a constrained edit follows.
struct PanelItem {
    enum class Kind : unsigned char { Literal, Specifier };

    Kind kind;
    std::string text;  // the label's text ("%%" read as "%"), or the whole specifier

    friend bool operator==(const PanelItem&, const PanelItem&) = default;
};

// The controls of a panel format, left to right. A specifier is "%", its conversion letter (with
// the delimiter after "n") and an optional braced directive list; it also ends at the end of the
// format and at the next "%", which then starts the following text. The specifiers are returned as
// written, unchecked: ParseEditSpecifier reads each one (and refuses a bad one) when its edit is
// constrained. A "%" that ends the format starts no control.
[[nodiscard]] std::vector<PanelItem> ParsePanelRow(std::string_view format);

// The specifiers of a format of specifiers only, for edits that exist already: each "%" after the
// first position starts the next one, and a "%" that ends the format starts none.
[[nodiscard]] std::vector<std::string> SplitSpecifiers(std::string_view format);
