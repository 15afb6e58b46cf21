#include "vars/AddressText.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "testkit/SystemAddress.h"

namespace {

using Address = std::array<std::uint8_t, 4>;

// The classic forms, which Winsock's inet_addr and the C library's inet_aton read alike.
const std::pair<const char*, Address> kAddresses[] = {
    {"192.168.0.1", {192, 168, 0, 1}},
    {"255.255.255.255", {255, 255, 255, 255}},
    {"0300.0250.0.01", {192, 168, 0, 1}},     // octal after a leading 0
    {"0xC0.0Xa8.0x0.0x1", {192, 168, 0, 1}},  // hexadecimal after 0x
    {"10.65535", {10, 0, 255, 255}},          // the last number fills 24 bits
    {"10.1.258", {10, 1, 1, 2}},              // ... or 16 bits
    {"10.1", {10, 0, 0, 1}},
    {"3232235521", {192, 168, 0, 1}},  // one number: all 32 bits
    {"0xffffffff", {255, 255, 255, 255}},
    {"1.2.3.4 and more", {1, 2, 3, 4}},  // whitespace ends the address
    {"1.2.3.4\n", {1, 2, 3, 4}},
};

const std::string kNotAddresses[] = {std::string(),
                                     std::string("not an address"),
                                     std::string("256.1.1.1"),
                                     std::string("1.2.3.4.5"),
                                     std::string(100000, '1'),
                                     "1.2.3." + std::string(100000, '9'),
                                     std::string("08.1.1.1"),
                                     std::string("0x"),
                                     std::string("0x100000000"),
                                     std::string("4294967296"),
                                     std::string("1.16777216"),
                                     std::string("1.2.65536"),
                                     std::string(" 1.2.3.4"),
                                     std::string("-1"),
                                     std::string("+1"),
                                     std::string("1..2"),
                                     std::string("1.2.3."),
                                     std::string("1.2.3.4x")};

TEST(AddressTextTest, ReadsTheClassicForms) {
    for (const auto& [text, address] : kAddresses) EXPECT_EQ(InetAddr(text), address) << text;
}

TEST(AddressTextTest, RefusesOtherTexts) {
    for (const std::string& text : kNotAddresses)
        EXPECT_FALSE(InetAddr(text).has_value()) << text.substr(0, 20);
    // The C conversions stop at a zero byte; here a text holding one is no address.
    EXPECT_FALSE(InetAddr(std::string("1.2.3.4\0junk", 12)).has_value());
}

// The same tables through the system's own conversion, Winsock's inet_addr on Windows.
TEST(AddressTextTest, AgreesWithTheSystemConversion) {
    constexpr Address kNone = {255, 255, 255, 255};
    for (const auto& [text, address] : kAddresses) EXPECT_EQ(SystemAddressBytes(text), address) << text;
    for (const std::string& text : kNotAddresses)
        EXPECT_EQ(SystemAddressBytes(text.c_str()), kNone) << text.substr(0, 20);
}

TEST(AddressTextTest, DottedDecimal) {
    EXPECT_EQ(DottedAddress({192, 168, 0, 32}), "192.168.0.32");
    EXPECT_EQ(DottedAddress({255, 0, 255, 0}), "255.0.255.0");
}

}  // namespace
