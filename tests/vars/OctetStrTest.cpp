#include "vars/OctetStr.h"

#include <gtest/gtest.h>

#include <vector>

#include "errors/OvException.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(OctetStrTest, HexTextRule) {
    const struct {
        std::string_view text;
        Bytes bytes;
    } cases[] = {{"0A 1b", {0x0A, 0x1B}},
                 {"0a1B", {0x0A, 0x1B}},
                 {"ABC", {0x0A, 0xBC}},
                 {" A BC ", {0x0A, 0xBC}},
                 {"F", {0x0F}},
                 {"G1zZ", {0x01, 0x00}},
                 {"", {}},
                 {"   ", {}},
                 {"0 0 1 1", {0x00, 0x11}}};
    for (const auto& c : cases) {
        const OctetStr octets = OctetStr::FromHexString(c.text);
        EXPECT_EQ(Bytes(octets.Bytes().begin(), octets.Bytes().end()), c.bytes) << c.text;
    }
}

TEST(OctetStrTest, TextForms) {
    EXPECT_EQ(OctetStr(Bytes{0x00, 0x11, 0xAA, 0x0F, 0xF0}).ToHexString(), "0011AA0FF0");
    EXPECT_EQ(OctetStr().ToHexString(), "");
    EXPECT_EQ(OctetStr(Bytes{'a', 'b', 0, 'c'}).ToPrintable(), "ab");
    EXPECT_EQ(OctetStr(Bytes{'a', 'b', 'c'}).ToPrintable(), "abc");
}

TEST(OctetStrTest, IndexPastTheEndRaises) {
    OctetStr octets;
    octets.Append(0x12);
    EXPECT_EQ(octets.At(0), 0x12);
    try {
        (void)octets.At(1);
        FAIL() << "no error raised";
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), -12);
        EXPECT_STREQ(e.what(), "Out of range at index of array or list!");
    }
}

}  // namespace
