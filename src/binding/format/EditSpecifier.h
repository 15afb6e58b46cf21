#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "errors/OvException.h"
#include "vars/LocaleSettings.h"

// One edit specifier ("%u{w36n0x255l3ae.}") read into the rules it sets for an edit.
struct EditSpecifier {
    enum Flag : std::uint8_t {
        kAutoAdvance = 1,  // move the focus on when the text reaches MaxLen
        kFixedLength = 2,  // the length (or count of numbers) must equal MaxLen
        kNotEmpty = 4,     // the empty text is refused
    };

    char Conversion = 0;  // 'f', 'h', 'i', 'n', 's' or 'u'
    char Delimiter = 0;   // the separator of the numbers of 'n'; 0 for the others
    double MinValue = 0;  // bounds of the value ('f', 'i', 'u') or of every number ('n')
    double MaxValue = 0;
    std::int32_t MaxLen = 0;  // maximum length in characters, for 'n' also the limit of the count; 0: none
    std::uint8_t Flags = 0;   // sum of Flag values
    char AdvanceChar = 0;     // typing it moves the focus on; 0: none
    std::int32_t Width = 0;   // the edit's width in pixels; 0: unchanged
};

// Reads one specifier. A specifier that breaks the grammar raises "Bad format specifier of edit's
// constraint!" (code -2); a number that the text-to-number conversions refuse (such as "w" with
// more digits than 32 bits hold, or an "n" argument of "-") raises their conversion error.
// Nothing is built from a specifier that fails.
[[nodiscard]] EditSpecifier ParseEditSpecifier(std::string_view specifier);

// Why a specifier is refused: it breaks the grammar, or a number of its directives is one that the
// integer or the floating-point conversion refuses.
struct SpecifierRefusal {
    enum class Reason : std::uint8_t { Grammar, Integer, Float };
    Reason reason;
    std::string_view number;  // the refused number, inside the specifier; empty for Grammar
};

// The same without raising or allocating, so that checking many specifiers stays cheap: the rules,
// or why the specifier is refused.
[[nodiscard]] std::variant<EditSpecifier, SpecifierRefusal> ReadEditSpecifier(std::string_view specifier);
// The error ParseEditSpecifier raises for the refusal.
[[nodiscard]] OvException ErrorOf(const SpecifierRefusal& refusal);

// The texts of an edit are UTF-16, as the widgets hold them; the rules below judge code units.

// The text without the characters that the conversion does not allow at their place. Each
// character is judged against the characters kept before it, which gives the same result as
// removing the first offending character again and again.
[[nodiscard]] std::u16string FilterEditText(const EditSpecifier& rules, std::u16string_view text);

// Why a non-empty text is refused when the edit is left: the message with its placeholders
// filled (bounds written with the locale's decimal separator), or nothing for an accepted text.
// The empty text is judged by the caller (kNotEmpty).
[[nodiscard]] std::optional<std::string> RejectionOf(const EditSpecifier& rules, std::u16string_view text,
                                                     const LocaleSettings& locale = {});

// The leading number of a text (optional "-", digits, optional "." and digits) as a
// floating-point value; a text without one gives 0, a number too large for a double +-infinity.
[[nodiscard]] double LeadingNumber(std::string_view text) noexcept;
