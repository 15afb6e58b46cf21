// Expansion followed by logic evaluation, on arbitrary expressions over arbitrary variables, parts,
// option lists and values.

#include "FuzzInput.h"
#include "FuzzVars.h"
#include "errors/Messages.h"
#include "errors/OvException.h"
#include "vars/Expression.h"
#include "vars/OvNDCPResponseVarList.h"
#include "vars/OvNDCPVarList.h"
#include "vars/VarTypes.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The marker: "$" most of the time, else an empty one or one or two bytes of the input.
[[nodiscard]] std::string MarkerFromInput(FuzzInput& input) {
    const std::uint8_t choice = input.Byte();
    switch (choice % 8) {
        case 0:
            return "";
        case 1:
            return std::string(1, static_cast<char>(input.Byte()));
        case 2:
            return input.Text().substr(0, 2);
        default:
            return "$";
    }
}

// Up to five variables with up to five parts each. The parts lists live as long as the variable list
// (which copies them).
struct Fixture {
    std::vector<std::unique_ptr<OvNDCPResponseVarList>> partLists;
    OvNDCPVarList vars;
};

[[nodiscard]] std::unique_ptr<OvNDCPResponseVarList> ReadParts(FuzzInput& input, int count) {
    std::vector<NDCPPartDef> defs;
    std::vector<std::string> values;
    for (int p = 0; p < count; ++p) {
        const std::int32_t type = TypeFromByte(input.Byte());
        defs.push_back({p + 1, "part", type, OptionsFromByte(input.Byte()), nullptr});
        values.push_back(input.Text());
    }
    defs.push_back({0, nullptr, 0, nullptr, nullptr});
    auto parts = std::make_unique<OvNDCPResponseVarList>(defs.data());
    for (int p = 0; p < count; ++p) parts->Part(p).Value = values[static_cast<std::size_t>(p)];
    return parts;
}

void ReadVars(FuzzInput& input, Fixture& fixture) {
    const int count = input.Byte() % 6;
    std::vector<FuzzVar> vars;
    for (int i = 0; i < count; ++i) {
        FuzzVar var;
        var.id = i;
        var.type = TypeFromByte(input.Byte());
        var.access = kReadable;
        var.options = OptionsFromByte(input.Byte());
        const int parts = input.Byte() % 7;  // 0: no parts list; otherwise parts - 1 parts
        if (parts > 0) {
            fixture.partLists.push_back(ReadParts(input, parts - 1));
            var.parts = fixture.partLists.back().get();
        }
        var.value = input.Text();
        vars.push_back(std::move(var));
    }
    AppendVars(fixture.vars, vars);
}

struct Outcome {
    bool raised = false;
    int code = 0;
    bool value = false;
};

[[nodiscard]] Outcome Evaluate(const std::string& text) {
    try {
        return {false, 0, EvaluateLogic(text)};
    } catch (const OvException& e) {
        if (e.Code() != -kBadLogicOperand && e.Code() != kBadExpressionSyntax && e.Code() != kUnknownError) {
            FuzzFailure("logic error code", e.what());
        }
        return {true, e.Code(), false};
    }
}

// Whether "now" occurs in any case: a comparison side that is that word reads the clock, to the
// millisecond, so two evaluations of the text may differ.
[[nodiscard]] bool MentionsNow(std::string_view text) {
    constexpr std::string_view word = "now";
    const auto sameLetter = [](char c, char lower) {
        return std::tolower(static_cast<unsigned char>(c)) == static_cast<unsigned char>(lower);
    };
    return std::search(text.begin(), text.end(), word.begin(), word.end(), sameLetter) != text.end();
}

// Expansion with quoting off succeeds only where quoting on gives the same text.
void CheckQuotingOff(const Fixture& fixture, const std::string& expression, const std::string& marker,
                     const std::string& quoted) {
    try {
        if (ExpandExpression(fixture.vars, expression, false, marker) != quoted) {
            FuzzFailure("quoting changes only text values", expression);
        }
    } catch (const OvException& e) {
        if (e.Code() != kBadExpressionSyntax && e.Code() != kBadResponseVarIndex &&
            e.Code() != kUnknownError) {
            FuzzFailure("expansion error code", e.what());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input({data, size});
    const std::string marker = MarkerFromInput(input);
    Fixture fixture;
    ReadVars(input, fixture);
    const std::string expression = input.RestText();

    std::string expanded;
    try {
        expanded = ExpandExpression(fixture.vars, expression, true, marker);
    } catch (const OvException& e) {
        if (e.Code() != kBadResponseVarIndex && e.Code() != kUnknownError) {
            FuzzFailure("expansion error code", e.what());
        }
        expanded = expression;
    }
    if ((marker.empty() || expression.find(marker) == std::string::npos) && expanded != expression) {
        FuzzFailure("a text without references expands to itself", expression);
    }
    if (!marker.empty() && expression.find(marker) != std::string::npos) {
        CheckQuotingOff(fixture, expression, marker, expanded);
    }

    // A doubled "!" in front changes nothing: the first "!" is never inside quotes nor a group.
    const Outcome plain = Evaluate(expanded);
    const Outcome doubled = Evaluate("!!" + expanded);
    if (plain.raised != doubled.raised || plain.code != doubled.code ||
        (!plain.raised && plain.value != doubled.value)) {
        if (!MentionsNow(expanded)) FuzzFailure("double negation", expanded);
    }
    return 0;
}
