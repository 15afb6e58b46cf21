#include "vars/Expression.h"

#include <gtest/gtest.h>

#include "errors/OvException.h"
#include "vars/OvNDCPVarList.h"
#include "vars/VarTypes.h"

#include <chrono>
#include <functional>
#include <random>
#include <tuple>
#include <variant>

namespace {

constexpr OptionDef kOnOff[] = {{1, nullptr, "On"}, {0, nullptr, "Off"}, {0, nullptr, nullptr}};
constexpr NDCPPartDef kParts[] = {{1, "Module Name", kDisplayStr, nullptr, "KVX-770B"},
                                  {2, "Device Name", kDisplayStr, nullptr, "dev"},
                                  {0, nullptr, 0, nullptr, nullptr}};

// The outcome of an evaluation: its value, or the code and text of the error it raised.
using Outcome = std::variant<bool, std::pair<int, std::string>>;

Outcome OutcomeOf(const std::function<bool()>& evaluate) {
    try {
        return evaluate();
    } catch (const OvException& e) {
        return std::pair{e.Code(), e.Message()};
    }
}

const Outcome kBadOperand = std::pair{-1, std::string("Bad logic operand!")};
const Outcome kTooDeep = std::pair{-1017, std::string("The expression is nested too deeply!")};
const Outcome kBadIndex =
    std::pair{-1016, std::string("Bad NDCP response variable index in the expression!")};
const Outcome kBadSyntax = std::pair{-1017, std::string("Bad NDCP syntax in the expression!")};

// The evaluation rules written down literally, rebuilding texts and recursing per operator:
// an independent oracle for small texts.
bool ReferenceLogic(const std::string& t) {
    const auto first = [&t](char c, std::size_t from) {
        const std::size_t p = t.find(c, from);
        return p == std::string::npos ? 0 : p + 1;  // 1-based, 0 when absent
    };
    const std::size_t q1 = first('"', 0), q2 = q1 ? first('"', q1) : 0;
    const std::size_t o = first('(', 0), r = first('|', 0), a = first('&', 0), x = first('!', 0);
    std::size_t c = 0;
    for (std::size_t i = o, depth = 1; o != 0 && i < t.size() && c == 0; ++i) {
        if (t[i] == '(') ++depth;
        if (t[i] == ')' && --depth == 0) c = i + 1;
    }
    const auto inside = [&](std::size_t p) { return q1 && q2 && q1 < p && p < q2; };
    if (o && c && !inside(o) && !inside(c)) {
        const char* word = ReferenceLogic(t.substr(o, c - o - 1)) ? "true" : "false";
        return ReferenceLogic(t.substr(0, o - 1) + word + t.substr(c));
    }
    if (r && !inside(r)) return ReferenceLogic(t.substr(0, r - 1)) || ReferenceLogic(t.substr(r));
    if (a && !inside(a)) return ReferenceLogic(t.substr(0, a - 1)) && ReferenceLogic(t.substr(a));
    if (x && !inside(x)) return !ReferenceLogic(t.substr(x));
    return EvaluateComparison(t);
}

class ExpressionTest : public ::testing::Test {
protected:
    ExpressionTest() {
        const NDCPVarDef defs[] = {
            {1, "Discovery", kTypeNone, kReadable, nullptr, &parts_, nullptr},
            {2, "Flag", kBool8, kReadable, nullptr, nullptr, "true"},
            {3, "Count", kUInt8, kReadable, nullptr, nullptr, "7"},
            {4, "Power", kUInt8, kReadable, &onOff_, nullptr, "On"},
            {5, "Uptime", kTimeticks, kReadable, nullptr, nullptr, "1 day 2:03:04.05"},
            {6, "Clock", kDateTime, kReadable, nullptr, nullptr, "2005/01/01 12:00:00 pm"},
            {7, "Flag2", kBool8, kReadable, nullptr, nullptr, "True"},
            {8, "Broken", kDateTime, kReadable, nullptr, nullptr, "yesterday"},
            {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
        };
        vars_.AddDefinitions(defs);
    }

    [[nodiscard]] bool Passes(std::string_view filter) {
        return EvaluateLogic(ExpandExpression(vars_, filter, true, "$"));
    }

    const OvNDCPResponseVarList parts_{kParts};
    const OvOptionList onOff_{kOnOff, OvOptionList::kNumbers, false};
    OvNDCPVarList vars_;
};

TEST_F(ExpressionTest, ExpandsReferencesByType) {
    const std::tuple<const char*, bool, const char*> rows[] = {
        {"$0.0=KVX-770B", true, "\"KVX-770B\"=KVX-770B"},
        {"$0=x", true, "\"\"=x"},
        {"x=$2", false, "x=7"},
        {"$1&$6", false, "1&0"},
        {"$3", false, "1"},  // the option's value, not its display text
        {"$4", false, "9378405"},
        {"$5", false, "38353.5"},
        {"$$2", true, "\"\"7"},
        {"a$02b$0.00001", true, "a7b\"dev\""},
        {"$", true, "\"\""}};
    for (const auto& [expression, quoting, expected] : rows) {
        EXPECT_EQ(ExpandExpression(vars_, expression, quoting, "$"), expected) << expression;
    }
}

TEST_F(ExpressionTest, ExpansionRefusesBadReferences) {
    const auto expand = [this](const char* expression, bool quoting) {
        return OutcomeOf([&] { return ExpandExpression(vars_, expression, quoting, "$").empty(); });
    };
    const char* const badIndex[] = {"$1.0=x",       "$2.", "$8=x", "$0.2", "$99999999999999999999",
                                    "$0.4294967296"};
    for (const char* expression : badIndex) EXPECT_EQ(expand(expression, true), kBadIndex) << expression;
    EXPECT_EQ(expand("$0.1", false), kBadSyntax);
    EXPECT_EQ(expand("$0", false), kBadSyntax);
    EXPECT_EQ(expand("$7", true),
              Outcome(std::pair{-1015, std::string("'yesterday' is not a valid date and time")}));
}

TEST_F(ExpressionTest, DiscoveryFilterComparesTheModelNameExactly) {
    const struct Row {
        const char* moduleName;
        bool passes;
    } rows[] = {{"KVX-770B", true}, {"kvx-770b", false}, {"KVX-770", false}, {"KVX-770B ", false},
                {"a=b", false},     {"$0.0", false},     {"", false},        {"a|b(", false}};
    for (const Row& row : rows) {
        vars_.Var(0).Parts->Part(0).Value = row.moduleName;
        EXPECT_EQ(Passes("$0.0=KVX-770B"), row.passes) << row.moduleName;
        EXPECT_EQ(Passes("$0.0<>KVX-770B"), !row.passes) << row.moduleName;
    }
    vars_.Var(0).Parts->Part(0).Value = "$0.0";
    EXPECT_EQ(ExpandExpression(vars_, "$0.0=$0.0", true, "$"), "\"$0.0\"=\"$0.0\"");
}

TEST(EvaluateLogicTest, FollowsTheGroupingRules) {
    const char* const trues[] = {
        "10<9",     "abc<abd",     "ab<abc",      "\xff>a",  "a<>b",      "true",         " TRUE ",
        "\ttrue\n", "(1=1) & 2=2", "1=2|2=2",     "!1=2",    "!!1=1",     "((1=1))",      "(1=2)|(2=2)",
        "1=1|yes",  "x!1=2",       "\"a|b\"=a|b", "\"(\"=(", "\"now\">1", "\x7ftrue\x7f", "\x7fz\x7f=z"};
    const char* const falses[] = {"ABC=abc",    "10=10.0",    "b<=a",        "false",       "(1=1)&2=3",
                                  "1=1 & !2=2", "1=2&yes",    "\"a=b\"=a=b", "\"|\"=x|1=1", "(1=1",
                                  ")1=1(",      "(\"a)\"=a)", "NOW<1"};
    // A group is evaluated before any operator, so "(yes)" raises even behind a true "|" operand.
    const char* const bad[] = {"yes", "1=2|yes", "1=2|", "1=1|(yes)", "1=1&yes", "&1=1", ""};
    for (const char* text : trues)
        EXPECT_EQ(OutcomeOf([&] { return EvaluateLogic(text); }), Outcome(true)) << text;
    for (const char* text : falses)
        EXPECT_EQ(OutcomeOf([&] { return EvaluateLogic(text); }), Outcome(false)) << text;
    for (const char* text : bad)
        EXPECT_EQ(OutcomeOf([&] { return EvaluateLogic(text); }), kBadOperand) << text;
}

TEST(EvaluateLogicTest, AgreesWithTheLiteralRulesOnRandomTexts) {
    const char* const tokens[] = {"(",   ")",    "\"",    "|", "&", "!", "1=1",
                                  "1=2", "true", "false", " ", "x", "=", "<"};
    std::mt19937 random(20240611);
    for (int n = 0; n < 20000; ++n) {
        std::string text;
        for (int i = static_cast<int>(random() % 14); i >= 0; --i)
            text += tokens[random() % std::size(tokens)];
        EXPECT_EQ(OutcomeOf([&] { return EvaluateLogic(text); }),
                  OutcomeOf([&] { return ReferenceLogic(text); }))
            << text;
    }
}

TEST(EvaluateLogicTest, HostileTextsEndQuicklyWithoutExhaustingTheStack) {
    const auto repeat = [](std::string_view piece, std::size_t bytes) {
        std::string text;
        while (text.size() + piece.size() <= bytes) text += piece;
        return text;
    };
    constexpr std::size_t k64KiB = 65536;
    const struct Row {
        const char* name;
        std::string text;
        Outcome expected;
    } rows[] = {
        {"100000 nested groups", std::string(100000, '(') + "1=1" + std::string(100000, ')'), kTooDeep},
        {"256 nested groups", std::string(256, '(') + "1=2" + std::string(256, ')'), false},
        {"257 nested groups", std::string(257, '(') + "1=1" + std::string(257, ')'), kTooDeep},
        {"100000 unclosed groups", std::string(100000, '(') + "1=1", false},
        {"or chain", repeat("1=2|", k64KiB) + "1=1", true},
        {"or chain stops early", repeat("1=2|", k64KiB / 2) + "1=1|" + repeat("yes|", k64KiB / 2), true},
        {"and chain stops early", repeat("1=1&", k64KiB / 2) + "1=2&" + repeat("yes&", k64KiB / 2), false},
        {"groups", repeat("(1=1)&", k64KiB) + "(1=1)", true},
        {"quoted operands", repeat("\"a|b\"=a|b&", k64KiB) + "\"(\"=(", true},
        {"unclosed group per operand", repeat("(1=1)=x|(=x|", k64KiB) + "1=1", true},
    };
    for (const Row& row : rows) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(OutcomeOf([&] { return EvaluateLogic(row.text); }), row.expected) << row.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << row.name;
    }
}

TEST(ComparisonHelpersTest, SplitAndStrip) {
    std::string left = "untouched";
    std::string right = "untouched";
    EXPECT_EQ(SplitAtOperator(kComparisonOperators, "none", left, right), -1);
    EXPECT_EQ(left + "|" + right, "untouched|untouched");
    EXPECT_EQ(SplitAtOperator(kComparisonOperators, "a=b<c", left, right), 4);
    EXPECT_EQ(left + "|" + right, "a=b|c");
    const std::pair<const char*, const char*> strips[] = {
        {"", ""}, {"\"", ""}, {"\"a\"", "a"}, {"\"a", "\"a"}, {"\"a\"b\"", "a\"b"}, {" \"a\"", " \"a\""}};
    for (const auto& [text, expected] : strips) EXPECT_EQ(StripQuotes(text), expected) << text;
}

}  // namespace
