#include "binding/format/EditSpecifier.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "errors/Messages.h"
#include "vars/FloatText.h"
#include "vars/IntegerText.h"
#include "vars/OvNumList.h"
#include "vars/TextHelpers.h"

namespace {

constexpr std::string_view kDigits = "0123456789";
constexpr std::string_view kNumberChars = "-0123456789.";
constexpr double kUInt32Max = 4294967295.0;

constexpr SpecifierRefusal kBadGrammar{SpecifierRefusal::Reason::Grammar, {}};

bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsHexDigit(char16_t c) {
    return IsAsciiDigit(c) || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// The 8-bit character of a specifier as a UTF-16 code unit (0 to 255).
char16_t Latin1Unit(char c) { return static_cast<unsigned char>(c); }

// The text in Latin-1, one byte a character: a character beyond it becomes "?".
std::string ToLatin1(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const char16_t c : text) bytes.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return bytes;
}

// The run of characters from the set that starts at position `from` (0-based); empty if none.
std::string_view RunOf(std::string_view text, std::size_t from, std::string_view charset) {
    const std::size_t last = SpanOf(text, from + 1, charset);  // SpanOf counts from 1
    if (last == 0) return {};
    return text.substr(from, last - from);
}

void SetDefaultRange(EditSpecifier& rules) {
    switch (rules.Conversion) {
        case 'i':
            rules.MinValue = -2147483648.0;
            rules.MaxValue = 2147483647.0;
            break;
        case 'u':
        case 'n':
            rules.MinValue = 0.0;
            rules.MaxValue = kUInt32Max;
            break;
        case 'f':
            // Every finite number: the smallest normal double as lower bound would refuse 0 and
            // every negative number, unlike the full ranges of "i" and "u".
            rules.MinValue = -std::numeric_limits<double>::max();
            rules.MaxValue = std::numeric_limits<double>::max();
            break;
        default:
            break;
    }
}

std::uint8_t FlagValue(char letter) {
    switch (letter) {
        case 'a':
            return EditSpecifier::kAutoAdvance;
        case 'f':
            return EditSpecifier::kFixedLength;
        case 'n':
            return EditSpecifier::kNotEmpty;
        default:
            return 0;
    }
}

// Reads the directives between the braces into rules; why they are refused, if they are.
std::optional<SpecifierRefusal> ReadDirectives(std::string_view directives, EditSpecifier& rules) {
    std::size_t at = 0;
    while (at < directives.size()) {
        const char letter = directives[at];
        switch (letter) {
            case 'w':
            case 'l': {
                const std::string_view digits = RunOf(directives, at + 1, kDigits);
                if (digits.empty()) return kBadGrammar;
                const std::optional<std::int32_t> number = TryParseInt32Text(digits);
                if (!number) return SpecifierRefusal{SpecifierRefusal::Reason::Integer, digits};
                at += 1 + digits.size();
                if (letter == 'w') {
                    rules.Width = *number;
                    break;
                }
                rules.MaxLen = *number;
                for (int k = 0; k < 3 && at < directives.size() && FlagValue(directives[at]) != 0; ++k) {
                    rules.Flags = static_cast<std::uint8_t>(rules.Flags + FlagValue(directives[at]));
                    ++at;
                }
                break;
            }
            case 'n':
            case 'x': {
                const std::string_view text = RunOf(directives, at + 1, kNumberChars);
                if (text.empty()) return kBadGrammar;
                const std::optional<double> number = TryParseFloatText(text);
                if (!number) return SpecifierRefusal{SpecifierRefusal::Reason::Float, text};
                (letter == 'n' ? rules.MinValue : rules.MaxValue) = *number;
                at += 1 + text.size();
                break;
            }
            case 'e':
                if (at + 1 >= directives.size()) return kBadGrammar;
                rules.AdvanceChar = directives[at + 1];
                at += 2;
                break;
            default:
                return kBadGrammar;
        }
    }
    return std::nullopt;
}

bool Allowed(const EditSpecifier& rules, char16_t c, std::u16string_view kept) {
    switch (rules.Conversion) {
        case 'u':
            return IsAsciiDigit(c);
        case 'i':
            return IsAsciiDigit(c) || (c == u'-' && kept.empty());
        case 'f':
            return IsAsciiDigit(c) || (c == u'-' && kept.empty()) ||
                   (c == u'.' && kept.find(u'.') == std::u16string_view::npos);
        case 'h':
            return IsHexDigit(c);
        case 'n': {
            if (IsAsciiDigit(c)) return true;
            const char16_t delimiter = Latin1Unit(rules.Delimiter);
            return c == delimiter && !kept.empty() && kept.back() != delimiter;
        }
        default:
            return true;
    }
}

// A bound of a delimited-number edit cut toward zero and kept inside the unsigned 32-bit range.
std::uint32_t UInt32Bound(double value) {
    const double cut = std::trunc(value);
    if (!(cut > 0.0)) return 0;  // negative, zero and NaN
    if (cut >= kUInt32Max) return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(cut);
}

std::string Fill(int index, std::initializer_list<std::pair<std::string_view, std::string>> values) {
    std::string text(ConstraintText(index));
    for (const auto& [placeholder, value] : values) text = ReplaceAll(text, placeholder, value);
    return text;
}

// The text up to the first character that no leading number holds: all that LeadingNumber reads.
std::string NumberPrefix(std::u16string_view text) {
    std::string prefix;
    for (const char16_t c : text) {
        if (c > 0x7F || kNumberChars.find(static_cast<char>(c)) == std::string_view::npos) break;
        prefix.push_back(static_cast<char>(c));
    }
    return prefix;
}

std::optional<std::string> RejectNumber(const EditSpecifier& rules, std::u16string_view text,
                                        const LocaleSettings& locale) {
    const double value = LeadingNumber(NumberPrefix(text));
    if (value >= rules.MinValue && value <= rules.MaxValue) return std::nullopt;
    return Fill(kNumberOutOfRange, {{"[MIN]", FormatGeneralFloat(rules.MinValue, locale)},
                                    {"[MAX]", FormatGeneralFloat(rules.MaxValue, locale)}});
}

std::optional<std::string> RejectLength(const EditSpecifier& rules, std::u16string_view text) {
    if (rules.MaxLen <= 0) return std::nullopt;
    const bool hex = rules.Conversion == 'h';
    const std::string maxLen = std::to_string(rules.MaxLen);
    if ((rules.Flags & EditSpecifier::kFixedLength) != 0) {
        if (text.size() == static_cast<std::size_t>(rules.MaxLen)) return std::nullopt;
        return Fill(hex ? kHexStringLengthMustBe : kStringLengthMustBe, {{"[LEN]", maxLen}});
    }
    if (text.size() <= static_cast<std::size_t>(rules.MaxLen)) return std::nullopt;
    return Fill(hex ? kHexStringTooLong : kStringTooLong, {{"[MAXLEN]", maxLen}});
}

std::optional<std::string> RejectNumbers(const EditSpecifier& rules, std::u16string_view text) {
    // Latin-1 keeps one byte per character, so an 8-bit delimiter compares as typed.
    const std::string bytes = ToLatin1(text);
    const std::string_view latin(bytes);
    const std::string delimiter(1, rules.Delimiter);
    OvNumList numbers;
    numbers.Delimiter = rules.Delimiter;
    if (rules.MaxLen > 0) {
        const int count = numbers.CountNumbers(latin);
        const std::string maxLen = std::to_string(rules.MaxLen);
        if ((rules.Flags & EditSpecifier::kFixedLength) != 0) {
            if (count != rules.MaxLen) {
                return Fill(kNumberCountMustBe, {{"[DELIMITER]", delimiter}, {"[COUNT]", maxLen}});
            }
        } else if (count > rules.MaxLen) {
            return Fill(kTooManyNumbers, {{"[DELIMITER]", delimiter}, {"[MAXCOUNT]", maxLen}});
        }
    }
    numbers.ParseNumbers(latin);
    const std::uint32_t min = UInt32Bound(rules.MinValue);
    const std::uint32_t max = UInt32Bound(rules.MaxValue);
    if (numbers.AllWithin(min, max)) return std::nullopt;
    return Fill(kDelimitedNumberOutOfRange,
                {{"[DELIMITER]", delimiter}, {"[MIN]", std::to_string(min)}, {"[MAX]", std::to_string(max)}});
}

}  // namespace

std::variant<EditSpecifier, SpecifierRefusal> ReadEditSpecifier(std::string_view specifier) {
    if (specifier.size() < 2 || specifier[0] != '%') return kBadGrammar;
    EditSpecifier rules;
    rules.Conversion = specifier[1];
    std::size_t brace = 2;  // where "{" must stand
    switch (rules.Conversion) {
        case 'f':
        case 'h':
        case 'i':
        case 's':
        case 'u':
            break;
        case 'n':
            if (specifier.size() < 3) return kBadGrammar;
            rules.Delimiter = specifier[2];
            brace = 3;
            break;
        default:
            return kBadGrammar;
    }
    SetDefaultRange(rules);
    if (specifier.size() == brace) return rules;
    if (specifier.size() < brace + 2 || specifier[brace] != '{' || specifier.back() != '}')
        return kBadGrammar;
    if (const auto refusal =
            ReadDirectives(specifier.substr(brace + 1, specifier.size() - brace - 2), rules)) {
        return *refusal;
    }
    return rules;
}

OvException ErrorOf(const SpecifierRefusal& refusal) {
    switch (refusal.reason) {
        case SpecifierRefusal::Reason::Integer:
            return NotIntegerError(refusal.number);
        case SpecifierRefusal::Reason::Float:
            return NotFloatError(refusal.number);
        default:
            return OvException(std::string(ConstraintText(kBadFormatSpecifier)), -kBadFormatSpecifier);
    }
}

EditSpecifier ParseEditSpecifier(std::string_view specifier) {
    const auto reading = ReadEditSpecifier(specifier);
    if (const auto* const refusal = std::get_if<SpecifierRefusal>(&reading)) throw ErrorOf(*refusal);
    return std::get<EditSpecifier>(reading);
}

std::u16string FilterEditText(const EditSpecifier& rules, std::u16string_view text) {
    std::u16string kept;
    kept.reserve(text.size());
    for (const char16_t c : text) {
        if (Allowed(rules, c, kept)) kept.push_back(c);
    }
    return kept;
}

std::optional<std::string> RejectionOf(const EditSpecifier& rules, std::u16string_view text,
                                       const LocaleSettings& locale) {
    switch (rules.Conversion) {
        case 'f':
        case 'i':
        case 'u':
            return RejectNumber(rules, text, locale);
        case 'h':
        case 's':
            return RejectLength(rules, text);
        case 'n':
            return RejectNumbers(rules, text);
        default:
            return std::nullopt;
    }
}

double LeadingNumber(std::string_view text) noexcept {
    std::size_t end = 0;
    if (end < text.size() && text[end] == '-') ++end;
    const std::size_t digitsFrom = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    const std::size_t wholeDigits = end - digitsFrom;
    std::size_t fractionDigits = 0;
    if (end < text.size() && text[end] == '.') {
        std::size_t after = end + 1;
        while (after < text.size() && text[after] >= '0' && text[after] <= '9') ++after;
        fractionDigits = after - end - 1;
        if (wholeDigits + fractionDigits > 0) end = after;
    }
    if (wholeDigits + fractionDigits == 0) return 0.0;
    const std::string_view number = text.substr(0, end);
    double value = 0.0;
    const auto [ptr, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)ptr;
    if (error == std::errc::result_out_of_range) {
        // Too large for a double (a nonzero whole part) or too small (only a fraction).
        const std::string_view whole = number.substr(digitsFrom, wholeDigits);
        const bool large = whole.find_first_not_of('0') != std::string_view::npos;
        const bool negative = number.front() == '-';
        if (!large) return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    return value;
}
