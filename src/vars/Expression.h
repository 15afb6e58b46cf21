#pragma once

#include <array>
#include <string>
#include <string_view>

#include "vars/LocaleSettings.h"

class OvNDCPVarList;

// The comparison operators in the order in which they are looked for.
inline constexpr std::array<std::string_view, 6> kComparisonOperators = {"<>", ">=", "<=", ">", "<", "="};

// Longest accepted nesting of parentheses in EvaluateLogic; a deeper text raises OvException
// "The expression is nested too deeply!" with kBadExpressionSyntax.
inline constexpr int kMaxExpressionDepth = 256;

// Replaces every reference (marker, digits, optionally "." and digits) by the value of the variable
// or part of vars it names. Text inserted by a replacement is never searched again. Raises
// kBadResponseVarIndex for a part index on a variable without parts, kBadExpressionSyntax for a
// text value with quoting off, and kBadResponseVarIndex for a variable or part position out of range.
[[nodiscard]] std::string ExpandExpression(const OvNDCPVarList& vars, std::string_view expression,
                                           bool quoting, std::string_view marker,
                                           const LocaleSettings& locale = {});

// The truth value of an expanded expression: "|", "&", "!", parentheses over comparisons.
// Raises "Bad logic operand!" (code -1) through EvaluateComparison. Runs in time close to linear in
// the length of the text and in stack depth bounded by kMaxExpressionDepth, whatever the text.
[[nodiscard]] bool EvaluateLogic(std::string_view text, const LocaleSettings& locale = {});
[[nodiscard]] bool EvaluateComparison(std::string_view text, const LocaleSettings& locale = {});

// The index of the first operator of the table that occurs in text, with the texts left and
// right of its first occurrence; -1 (left and right untouched) when none occurs.
[[nodiscard]] int SplitAtOperator(const std::array<std::string_view, 6>& operators, std::string_view text,
                                  std::string& left, std::string& right);

// The text without one pair of enclosing double quotes.
[[nodiscard]] std::string StripQuotes(std::string_view text);
