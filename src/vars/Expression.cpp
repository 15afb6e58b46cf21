#include "vars/Expression.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "errors/Messages.h"
#include "errors/OvException.h"
#include "vars/DateTimeText.h"
#include "vars/FloatText.h"
#include "vars/OvNDCPVarList.h"
#include "vars/TimeTicks.h"
#include "vars/VarTypes.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Expansion

constexpr char kQuote = '"';

// A decimal digit run read from a text; saturated when it does not fit a 32-bit position.
struct DigitRun {
    std::size_t length = 0;
    std::int64_t value = 0;  // 0 for an empty run
    bool tooLarge = false;
};

[[nodiscard]] bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

[[nodiscard]] DigitRun ReadDigits(std::string_view text, std::size_t from) noexcept {
    DigitRun run;
    while (from + run.length < text.size() && IsDigit(text[from + run.length])) {
        if (!run.tooLarge) {
            run.value = run.value * 10 + (text[from + run.length] - '0');
            run.tooLarge = run.value > std::numeric_limits<std::int32_t>::max();
        }
        ++run.length;
    }
    return run;
}

// The position a run names, or nothing when it lies at or beyond count.
[[nodiscard]] int PositionWithin(const DigitRun& run, int count) {
    if (run.tooLarge || run.value >= count) RaiseNDCPError(kBadResponseVarIndex);
    return static_cast<int>(run.value);
}

struct ValueSource {
    std::int32_t type;
    const OvOptionList* options;
    const std::string* value;
};

[[nodiscard]] std::string Replacement(const ValueSource& source, bool quoting, const LocaleSettings& locale) {
    // Expressions see values, not display texts.
    const std::string value = source.options ? source.options->ToValueText(*source.value) : *source.value;
    switch (source.type) {
        case kBool8:
        case kBool16:
        case kBool32:
            return value == "true" ? "1" : "0";
        case kInt8:
        case kUInt8:
        case kInt16:
        case kUInt16:
        case kInt32:
        case kUInt32:
        case kDouble:
            return value;
        case kTimeticks:
            return std::to_string(TimeTicks::FromText(value).Value());
        case kDateTime:
            return FormatGeneralFloat(ParseDateTime(value, locale), locale);
        default:
            // Text-typed values (and a variable without a value of its own) need quotes.
            if (!quoting) RaiseNDCPError(kBadExpressionSyntax);
            return std::string(1, kQuote) + value + kQuote;
    }
}

// ---------------------------------------------------------------------------------------------
// Logic evaluation
//
// The rules are defined on texts that are rebuilt after every group substitution and re-examined
// from their first characters. Rebuilding and re-scanning would make long texts quadratic, so the
// evaluator works on views [begin, end) of the one original text instead: a substituted group is
// marked dead and reads as its result word. The word holds none of the characters the rules look
// for, so every "first occurrence" is the first live one in the view, and the text a comparison
// sees is the view with each dead group replaced by its word. Matching parentheses are computed
// once: a dead group is balanced, so removing it does not change the match of any other one.

class LogicEvaluator {
public:
    LogicEvaluator(std::string_view text, const LocaleSettings& locale)
        : text_(text),
          locale_(locale),
          match_(text.size(), kNone),
          deadEnd_(text.size(), kNone),
          deadValue_(text.size(), 0) {
        std::vector<std::int32_t> open;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '(') {
                open.push_back(static_cast<std::int32_t>(i));
            } else if (text[i] == ')' && !open.empty()) {
                match_[static_cast<std::size_t>(open.back())] = static_cast<std::int32_t>(i);
                open.pop_back();
            }
        }
    }

    [[nodiscard]] bool Evaluate() { return Evaluate(0, static_cast<std::int32_t>(text_.size()), 0); }

private:
    static constexpr std::int32_t kNone = -1;

    // The first live occurrence of one character in a view, kept up to date while the view's
    // beginning moves forward and groups die, so that each view is scanned only once per character.
    class Cursor {
    public:
        Cursor(const LogicEvaluator& owner, char c) : owner_(owner), c_(c) {}

        // The position in [begin, end), or end when there is none.
        std::int32_t At(std::int32_t begin, std::int32_t end) {
            if (!valid_ || pos_ < begin) {
                pos_ = owner_.FindLive(c_, begin, end);
            } else if (pos_ < end && owner_.IsDead(pos_)) {
                pos_ = owner_.FindLive(c_, owner_.DeadEnd(pos_) + 1, end);
            }
            valid_ = true;
            return pos_;
        }

    private:
        const LogicEvaluator& owner_;
        char c_;
        std::int32_t pos_ = 0;
        bool valid_ = false;
    };

    [[nodiscard]] bool IsDead(std::int32_t pos) const {
        return deadEnd_[static_cast<std::size_t>(pos)] != kNone;
    }
    [[nodiscard]] std::int32_t DeadEnd(std::int32_t pos) const {
        return deadEnd_[static_cast<std::size_t>(pos)];
    }

    [[nodiscard]] std::int32_t FindLive(char c, std::int32_t from, std::int32_t end) const {
        while (from < end) {
            const void* hit = std::memchr(text_.data() + from, c, static_cast<std::size_t>(end - from));
            if (hit == nullptr) return end;
            const auto pos = static_cast<std::int32_t>(static_cast<const char*>(hit) - text_.data());
            if (!IsDead(pos)) return pos;
            from = DeadEnd(pos) + 1;
        }
        return end;
    }

    void MarkDead(std::int32_t open, std::int32_t close, bool value) {
        for (auto i = static_cast<std::size_t>(open); i <= static_cast<std::size_t>(close); ++i) {
            deadEnd_[i] = close;
            deadValue_[i] = value ? 1 : 0;
        }
    }

    // The view as text, each dead group read as its result word.
    [[nodiscard]] std::string TextOf(std::int32_t begin, std::int32_t end) const {
        std::string result;
        std::int32_t i = begin;
        while (i < end) {
            if (IsDead(i)) {
                result += deadValue_[static_cast<std::size_t>(i)] != 0 ? "true" : "false";
                i = DeadEnd(i) + 1;
            } else {
                const std::int32_t live = NextDead(i, end);
                result.append(text_.substr(static_cast<std::size_t>(i), static_cast<std::size_t>(live - i)));
                i = live;
            }
        }
        return result;
    }

    [[nodiscard]] std::int32_t NextDead(std::int32_t from, std::int32_t end) const {
        while (from < end && !IsDead(from)) ++from;
        return from;
    }

    // One text of the rules. The right operand of "|" and "&", the operand of "!" and the text
    // rebuilt after a group are evaluated in this same loop, so chains of any length use one
    // frame; only left operands (which hold no "|", respectively no "&", so they nest at most
    // twice) and group contents (counted by depth) recurse.
    bool Evaluate(std::int32_t begin, std::int32_t end, int depth) {
        if (depth > kMaxExpressionDepth) {
            throw OvException("The expression is nested too deeply!", kBadExpressionSyntax);
        }
        Cursor quote(*this, kQuote);
        Cursor open(*this, '(');
        Cursor bar(*this, '|');
        Cursor amp(*this, '&');
        Cursor bang(*this, '!');
        std::int32_t q1Seen = kNone;
        std::int32_t q2 = end;
        bool negate = false;
        for (;;) {
            const std::int32_t q1 = quote.At(begin, end);
            if (q1 != q1Seen || (q2 < end && IsDead(q2))) {
                q2 = q1 < end ? FindLive(kQuote, q1 + 1, end) : end;
                q1Seen = q1;
            }
            const auto inside = [q1, q2, end](std::int32_t pos) { return q2 < end && q1 < pos && pos < q2; };

            const std::int32_t o = open.At(begin, end);
            if (o < end) {
                const std::int32_t c = match_[static_cast<std::size_t>(o)];
                if (c != kNone && c < end && !inside(o) && !inside(c)) {
                    MarkDead(o, c, Evaluate(o + 1, c, depth + 1));
                    continue;
                }
            }
            const std::int32_t r = bar.At(begin, end);
            if (r < end && !inside(r)) {
                if (Evaluate(begin, r, depth)) return !negate;
                begin = r + 1;
                continue;
            }
            const std::int32_t a = amp.At(begin, end);
            if (a < end && !inside(a)) {
                if (!Evaluate(begin, a, depth)) return negate;
                begin = a + 1;
                continue;
            }
            const std::int32_t x = bang.At(begin, end);
            if (x < end && !inside(x)) {
                negate = !negate;
                begin = x + 1;
                continue;
            }
            return negate != EvaluateComparison(TextOf(begin, end), locale_);
        }
    }

    std::string_view text_;
    const LocaleSettings& locale_;
    std::vector<std::int32_t> match_;      // the ")" that closes each "(", or kNone
    std::vector<std::int32_t> deadEnd_;    // for a position in a substituted group: the group's end
    std::vector<std::uint8_t> deadValue_;  // for a position in a substituted group: its result
};

// ---------------------------------------------------------------------------------------------
// Comparison

// Blanks, the control characters 0x00 to 0x1F and DEL (0x7F).
[[nodiscard]] bool IsBlankOrControl(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' || byte == 0x7F;
}

[[nodiscard]] std::string_view Trim(std::string_view text) noexcept {
    while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
    return text;
}

[[nodiscard]] bool EqualsIgnoringCase(std::string_view text, std::string_view word) noexcept {
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = (text[i] >= 'A' && text[i] <= 'Z') ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != word[i]) return false;
    }
    return true;
}

// Byte by byte as unsigned characters; a proper beginning of the other text is the smaller one.
[[nodiscard]] int CompareBytes(std::string_view a, std::string_view b) noexcept {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    const int common = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
    if (common != 0) return common;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

[[nodiscard]] std::string ComparisonSide(std::string_view side, const LocaleSettings& locale) {
    std::string value = StripQuotes(Trim(side));
    if (EqualsIgnoringCase(value, "now")) value = FormatGeneralFloat(NowAsDateTime(), locale);
    return value;
}

}  // namespace

std::string ExpandExpression(const OvNDCPVarList& vars, std::string_view expression, bool quoting,
                             std::string_view marker, const LocaleSettings& locale) {
    // An empty marker marks nothing.
    if (marker.empty()) return std::string(expression);
    std::string result;
    result.reserve(expression.size());
    std::size_t from = 0;
    // The text after a reference is still the original text, so building the result left to right
    // keeps every inserted replacement out of the search.
    for (std::size_t p = expression.find(marker); p != std::string_view::npos;
         p = expression.find(marker, from)) {
        result.append(expression.substr(from, p - from));
        std::size_t next = p + marker.size();
        const DigitRun varRun = ReadDigits(expression, next);
        next += varRun.length;
        const detail::NDCPVar_s& var = vars.Var(PositionWithin(varRun, vars.Count()));
        ValueSource source{var.Type, var.Options, &var.Value};
        if (next < expression.size() && expression[next] == '.') {
            const DigitRun partRun = ReadDigits(expression, next + 1);
            next += 1 + partRun.length;
            if (!var.Parts) RaiseNDCPError(kBadResponseVarIndex);
            const detail::NDCPResponseVar_s& part =
                var.Parts->Part(PositionWithin(partRun, var.Parts->Count()));
            source = ValueSource{part.Type, part.Options, &part.Value};
        }
        result.append(Replacement(source, quoting, locale));
        from = next;
    }
    result.append(expression.substr(from));
    return result;
}

bool EvaluateLogic(std::string_view text, const LocaleSettings& locale) {
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw OvException("The expression is too long!");
    }
    return LogicEvaluator(text, locale).Evaluate();
}

bool EvaluateComparison(std::string_view text, const LocaleSettings& locale) {
    std::string left;
    std::string right;
    const int op = SplitAtOperator(kComparisonOperators, text, left, right);
    if (op < 0) {
        const std::string_view word = Trim(text);
        if (EqualsIgnoringCase(word, "true")) return true;
        if (EqualsIgnoringCase(word, "false")) return false;
        RaiseConstraintError(kBadLogicOperand);
    }
    const int order = CompareBytes(ComparisonSide(left, locale), ComparisonSide(right, locale));
    switch (op) {
        case 0:
            return order != 0;
        case 1:
            return order >= 0;
        case 2:
            return order <= 0;
        case 3:
            return order > 0;
        case 4:
            return order < 0;
        default:
            return order == 0;
    }
}

int SplitAtOperator(const std::array<std::string_view, 6>& operators, std::string_view text,
                    std::string& left, std::string& right) {
    for (std::size_t i = 0; i < operators.size(); ++i) {
        const std::string_view op = operators[i];
        if (op.empty()) continue;
        const std::size_t at = text.find(op);
        if (at == std::string_view::npos) continue;
        left.assign(text.substr(0, at));
        right.assign(text.substr(at + op.size()));
        return static_cast<int>(i);
    }
    return -1;
}

std::string StripQuotes(std::string_view text) {
    if (!text.empty() && text.front() == kQuote && text.back() == kQuote) {
        return text.size() < 2 ? std::string() : std::string(text.substr(1, text.size() - 2));
    }
    return std::string(text);
}
