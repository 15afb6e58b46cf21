#include "BenchTable.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Three significant digits for values from 1 to 999.
std::string ThreeDigits(double value) {
    if (value >= 100) return Fixed(value, 0);
    if (value >= 10) return Fixed(value, 1);
    return Fixed(value, 2);
}

std::string Clean(std::string_view field) {
    std::string text(field);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text.empty() ? "-" : text;
}

}  // namespace

std::string Verdict(bool met) { return met ? "met" : "MISSED"; }

std::string FormatNanoseconds(double ns) {
    if (ns < 1000) return ThreeDigits(ns) + " ns";
    if (ns < 1e6) return ThreeDigits(ns / 1e3) + " us";
    if (ns < 1e9) return ThreeDigits(ns / 1e6) + " ms";
    return ThreeDigits(ns / 1e9) + " s";
}

std::string FormatMilliseconds(double ms) {
    if (ms >= 0) return FormatNanoseconds(ms * 1e6);
    std::string text(1, '-');
    text += FormatNanoseconds(-ms * 1e6);
    return text;
}

std::string FormatRate(double perSecond) {
    if (perSecond >= 1e6) return ThreeDigits(perSecond / 1e6) + " M/s";
    if (perSecond >= 1e3) return ThreeDigits(perSecond / 1e3) + " k/s";
    return ThreeDigits(perSecond) + " /s";
}

std::string FormatRatio(double ratio) { return Fixed(ratio, 2) + "x"; }

std::string FormatBytes(double bytes) {
    if (bytes >= 1024.0 * 1024.0) return Fixed(bytes / (1024.0 * 1024.0), 1) + " MiB";
    if (bytes >= 1024.0) return Fixed(bytes / 1024.0, 1) + " KiB";
    return Fixed(bytes, 0) + " B";
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string MedianAndWorst(const std::vector<double>& values,
                           const std::function<std::string(double)>& format) {
    const double median = Median(values);
    if (values.size() <= 1) return format(median);
    return format(median) + " (worst " + format(*std::max_element(values.begin(), values.end())) + ")";
}

std::vector<BenchRow> NotMeasured(const std::vector<BenchRow>& rows, const std::string& why) {
    std::vector<BenchRow> missed;
    for (const BenchRow& row : rows) {
        if (missed.empty()) missed.push_back({row.section, "error", why, "", Verdict(false)});
        if (!row.goal.empty())
            missed.push_back({row.section, row.figure, "not measured", row.goal, Verdict(false)});
    }
    return missed;
}

std::string RowLine(const BenchRow& row) {
    return Clean(row.section) + '\t' + Clean(row.figure) + '\t' + Clean(row.value) + '\t' + Clean(row.goal) +
           '\t' + Clean(row.verdict);
}

void PrintRows(const std::vector<BenchRow>& rows) {
    for (const BenchRow& row : rows) std::cout << RowLine(row) << '\n';
    std::cout.flush();
}
