#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

// Reads RFC 4180 records: fields in double quotes may hold anything, "" standing for one quote; a
// record ends with CR LF. Whatever a strict reader would refuse is reported as a test failure.
inline std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string& field = records.back().back();
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            EXPECT_TRUE(field.empty()) << "a quote inside an unquoted field";
            quoted = true;
        } else if (c == ',') {
            records.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            records.emplace_back(1);
        } else {
            EXPECT_NE(c, '\n') << "a line break outside quotes";
            field += c;
        }
    }
    EXPECT_FALSE(quoted);
    if (records.back() == std::vector<std::string>(1)) records.pop_back();
    return records;
}
