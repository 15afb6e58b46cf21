#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One line of the benchmark table. The bench programs print their lines as tab-separated fields
// on standard output; scripts/bench lays all of them out as one table.
struct BenchRow {
    std::string section;
    std::string figure;
    std::string value;
    std::string goal;     // empty when the figure has no goal
    std::string verdict;  // "met", "MISSED" or empty
};

// The verdict text for a figure with a goal.
[[nodiscard]] std::string Verdict(bool met);

// Durations and rates in a unit that keeps three or four significant digits.
[[nodiscard]] std::string FormatNanoseconds(double ns);
[[nodiscard]] std::string FormatMilliseconds(double ms);
[[nodiscard]] std::string FormatRate(double perSecond);
[[nodiscard]] std::string FormatRatio(double ratio);
[[nodiscard]] std::string FormatBytes(double bytes);

// The median of the values; 0 for none.
[[nodiscard]] double Median(std::vector<double> values);
// "median X (worst Y)", the largest being the worst, or the one value alone.
[[nodiscard]] std::string MedianAndWorst(const std::vector<double>& values,
                                         const std::function<std::string(double)>& format);

// The rows of a measurement that failed: an error row with the reason, then every row with a goal,
// its value "not measured" and its goal missed; the rows without a goal are left out.
[[nodiscard]] std::vector<BenchRow> NotMeasured(const std::vector<BenchRow>& rows, const std::string& why);

// Fields with tabs or line breaks would break the layout: those characters become blanks.
[[nodiscard]] std::string RowLine(const BenchRow& row);
void PrintRows(const std::vector<BenchRow>& rows);
