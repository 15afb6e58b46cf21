#include "vars/OvNumList.h"

#include <gtest/gtest.h>

#include "errors/OvException.h"

#include <tuple>
#include <vector>

namespace {

TEST(OvNumListTest, ParsesDelimitedNumbersAndChecksTheirBounds) {
    const std::tuple<char, const char*, std::vector<std::uint32_t>, bool> rows[] = {
        {'.', "10.0.0.255", {10, 0, 0, 255}, true},
        {'.', "10.0.0.256", {10, 0, 0, 256}, false},
        {',', "3.7,4", {3, 4}, true},
        {',', "3.99,.5,", {3, 0, 0}, true},
        {'.', "1..2", {1, 0, 2}, true},
        {'.', "", {}, true},
        {'.', "4294967296", {0}, true}};  // wraps as unsigned 32-bit arithmetic
    for (const auto& [delimiter, text, expected, within] : rows) {
        OvNumList list;
        list.ParseNumbers("9.9.9.9.9");
        list.Delimiter = delimiter;
        list.ParseNumbers(text);
        std::vector<std::uint32_t> actual;
        for (int i = 0; i < list.Count(); ++i) actual.push_back(list.At(i));
        EXPECT_EQ(actual, expected) << text;
        EXPECT_EQ(list.CountNumbers(text), static_cast<int>(expected.size())) << text;
        EXPECT_EQ(list.AllWithin(0, 255), within) << text;
    }
    OvNumList list;
    list.ParseNumbers("10.0.0.255");
    EXPECT_FALSE(list.AllWithin(1, 255));
    try {
        (void)list.At(4);
        ADD_FAILURE() << "no error raised";
    } catch (const OvException& e) {
        EXPECT_EQ(std::pair(e.Code(), e.Message()),
                  std::pair(-12, std::string("Out of range at index of array or list!")));
    }
}

}  // namespace
