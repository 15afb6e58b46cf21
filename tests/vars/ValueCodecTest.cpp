#include "vars/ValueCodec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "errors/Messages.h"
#include "errors/OvException.h"
#include "vars/VarTypes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kId = 7;
constexpr std::uint8_t kSentinel = 0xEE;
// An empty element that keeps the value of the one before it inside the area.
const Bytes kTrailer = {0x63, 0x00, 0x03};

// Encodes into a buffer of sentinel bytes and returns the element, checking nothing else was written.
Bytes Encode(std::uint8_t type, std::string_view text, const LocaleSettings& locale = {}) {
    Bytes out(64, kSentinel);
    const int written = EncodeElement(kId, type, text, out, locale);
    if (written <= 0) return {};
    EXPECT_EQ(Bytes(out.begin() + written, out.end()),
              Bytes(out.size() - static_cast<std::size_t>(written), kSentinel));
    out.resize(static_cast<std::size_t>(written));
    return out;
}

Bytes Element(const Bytes& value, const Bytes& trailer = {}) {
    const std::size_t length = value.size() + 3;
    Bytes element = {kId, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF)};
    element.insert(element.end(), value.begin(), value.end());
    element.insert(element.end(), trailer.begin(), trailer.end());
    return element;
}

// Decodes into a text that starts as "old"; returns the code and the resulting text.
std::pair<int, std::string> Decode(std::uint8_t type, const Bytes& area, const LocaleSettings& locale = {}) {
    std::string text = "old";
    const int code = DecodeElement(kId, type, text, area, locale);
    return {code, text};
}

std::pair<int, std::string> Result(int code, std::string_view text) { return {code, std::string(text)}; }

struct WireCase {
    std::uint8_t type;
    std::string_view text;
    Bytes value;
};

// Rows that hold in both directions.
const WireCase kBothWays[] = {
    {kBool8, "false", {0x00}},
    {kBool8, "true", {0x01}},
    {kBool16, "true", {0x01, 0x00}},
    {kBool16, "false", {0x00, 0x00}},
    {kBool32, "true", {0x01, 0x00, 0x00, 0x00}},
    {kInt8, "-1", {0xFF}},
    {kInt8, "127", {0x7F}},
    {kUInt8, "255", {0xFF}},
    {kInt16, "-2", {0xFF, 0xFE}},
    {kUInt16, "65534", {0xFF, 0xFE}},
    {kUInt16, "258", {0x01, 0x02}},
    {kInt32, "16909060", {0x01, 0x02, 0x03, 0x04}},
    {kInt32, "-2147483648", {0x80, 0x00, 0x00, 0x00}},
    {kUInt32, "4294967295", {0xFF, 0xFF, 0xFF, 0xFF}},
    {kUInt32, "2147483648", {0x80, 0x00, 0x00, 0x00}},
    {kDouble, "1", {0x00, 0x00, 0x00, 0x00, 0x3F, 0xF0, 0x00, 0x00}},
    {kDouble, "-2.5", {0x00, 0x00, 0x00, 0x00, 0xC0, 0x04, 0x00, 0x00}},
    {kDouble, "0.1", {0x99, 0x99, 0x99, 0x9A, 0x3F, 0xB9, 0x99, 0x99}},  // low half first
    {kTimeticks, "1 day 2:03:04.05", {0x00, 0x8F, 0x1A, 0x65}},
    {kTimeticks, "2 days, 0:00:00.00", {0x01, 0x07, 0xAC, 0x00}},
    {kDateTime, "2005/01/01 12:00:00 am", {0x00, 0x00, 0x00, 0x00, 0x40, 0xE2, 0xBA, 0x20}},
    {kDateTime, "2005/01/01 12:00:00 pm", {0x00, 0x00, 0x00, 0x00, 0x40, 0xE2, 0xBA, 0x30}},
    {kDateTime, "2005/01/01 08:00:00 am", {0xAA, 0xAA, 0xAA, 0xAB, 0x40, 0xE2, 0xBA, 0x2A}},
    {kIpAddress, "192.168.0.32", {0xC0, 0xA8, 0x00, 0x20}},
    {kMacAddress, "0011AABBCCDD", {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD}},
    {kBitStr, "0102FF", {0x01, 0x02, 0xFF}},
    {kBitStr, "", {}},
    {kOctetStr, "0ABC", {0x0A, 0xBC}},
    {kOctetStr, "", {}},
    {kDisplayStr, "KVX-770B", {'K', 'V', 'X', '-', '7', '7', '0', 'B'}},
    {kDisplayStr, "", {}},
};

TEST(ValueCodecTest, EveryTypeBothWays) {
    for (const auto& c : kBothWays) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " '" + std::string(c.text) + "'");
        EXPECT_EQ(Encode(c.type, c.text), Element(c.value));
        EXPECT_EQ(Decode(c.type, Element(c.value, kTrailer)), Result(0, c.text));
    }
}

TEST(ValueCodecTest, TextsThatEncodeToAnotherForm) {
    const WireCase cases[] = {
        {kBool8, "False", {0x01}},
        {kBool8, "0", {0x01}},
        {kBool8, "", {0x01}},
        {kUInt8, "300", {0x2C}},
        {kInt8, "300", {0x2C}},
        {kUInt16, "-1", {0xFF, 0xFF}},
        {kUInt8, "4294967295", {0xFF}},
        {kDateTime, "2005/01/01", {0x00, 0x00, 0x00, 0x00, 0x40, 0xE2, 0xBA, 0x20}},
        {kDateTime, "2005/01/01 12:00", {0x00, 0x00, 0x00, 0x00, 0x40, 0xE2, 0xBA, 0x30}},
        {kIpAddress, "not an address", {0xFF, 0xFF, 0xFF, 0xFF}},
        {kIpAddress, "", {0xFF, 0xFF, 0xFF, 0xFF}},
        {kMacAddress, "0011aabbccdd", {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD}},
        {kMacAddress, "00 11 AA BB CC DD EE", {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD}},
        {kMacAddress, "0011AA", {0x00, 0x11, 0xAA, 0x00, 0x00, 0x00}},  // short: zero filled
        {kOctetStr, "ABC", {0x0A, 0xBC}},
        {kBitStr, "0a 1B", {0x0A, 0x1B}},
    };
    for (const auto& c : cases) EXPECT_EQ(Encode(c.type, c.text), Element(c.value)) << c.text;
}

TEST(ValueCodecTest, BytesThatDecodeToCanonicalText) {
    const WireCase cases[] = {
        {kBool8, "true", {0x02}},
        {kBool16, "true", {0x00, 0x01}},
        {kBool32, "true", {0x00, 0x00, 0x00, 0x80}},
        {kInt32, "-1", {0xFF, 0xFF, 0xFF, 0xFF}},
        {kDouble, "NAN", {0x00, 0x00, 0x00, 0x00, 0x7F, 0xF8, 0x00, 0x00}},
        {kTimeticks, "497 days, 2:27:52.95", {0xFF, 0xFF, 0xFF, 0xFF}},
        {kDisplayStr, "ab", {'a', 'b', 0x00, 'c', 'd'}},
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.type, Element(c.value)), Result(0, c.text));
    const LocaleSettings locale{',', '.', '-', "AM", "PM"};
    const Bytes half = {0x00, 0x00, 0x00, 0x00, 0x3F, 0xE0, 0x00, 0x00};
    const Bytes noon = {0x00, 0x00, 0x00, 0x00, 0x40, 0xE2, 0xBA, 0x30};
    EXPECT_EQ(Encode(kDouble, "0,5", locale), Element(half));
    EXPECT_EQ(Decode(kDouble, Element(half), locale).second, "0,5");
    EXPECT_EQ(Encode(kDateTime, "2005.01.01 12-00-00 pm", locale), Element(noon));
    EXPECT_EQ(Decode(kDateTime, Element(noon), locale).second, "2005.01.01 12-00-00 pm");
}

TEST(ValueCodecTest, WrongWidthOrNoDateIsABadPacket) {
    for (int type = kBool8; type <= kMacAddress; ++type) {
        const auto width = static_cast<std::size_t>(FixedWireWidth(type));
        for (const std::size_t wrong : {std::size_t{0}, width - 1, width + 1}) {
            EXPECT_EQ(Decode(static_cast<std::uint8_t>(type), Element(Bytes(wrong, 0x01), kTrailer)),
                      Result(kBadPacket, "old"))
                << "type " << type << " width " << wrong;
        }
    }
    EXPECT_EQ(Decode(kUInt16, Bytes{kId, 0x00, 0x04, 0x05}), Result(kBadPacket, "old"));
    // NaN, infinity and about 1e300 are no dates; the decoder must not raise on them.
    for (const Bytes& high :
         {Bytes{0x7F, 0xF8, 0, 0}, Bytes{0x7F, 0xF0, 0, 0}, Bytes{0x7E, 0x37, 0xE4, 0x3C}}) {
        Bytes value = {0, 0, 0, 0};
        value.insert(value.end(), high.begin(), high.end());
        EXPECT_EQ(Decode(kDateTime, Element(value)), Result(kBadPacket, "old"));
    }
}

TEST(ValueCodecTest, TypesWithoutEncoding) {
    for (const int type : {0, 18, 255}) {
        Bytes out(4, kSentinel);
        EXPECT_EQ(EncodeElement(kId, static_cast<std::uint8_t>(type), "1", out), kBadValueType);
        EXPECT_EQ(out, (Bytes{kId, kSentinel, kSentinel, kSentinel}));
        EXPECT_EQ(Decode(static_cast<std::uint8_t>(type), Element({0x01})), Result(0, "old"));
        EXPECT_EQ(Decode(static_cast<std::uint8_t>(type), Bytes{0x01, 0x00, 0x03, 0x00}).first,
                  kBadVariableId);
    }
}

TEST(ValueCodecTest, ConversionErrorsWriteNothing) {
    const struct {
        std::uint8_t type;
        std::string_view text;
        const char* message;
    } cases[] = {{kInt32, "4294967295", "'4294967295' is not a valid integer value"},
                 {kUInt32, "4294967296", "'4294967296' is not a valid integer value"},
                 {kUInt16, "", "'' is not a valid integer value"},
                 {kDouble, "abc", "'abc' is not a valid floating point value"},
                 {kDateTime, "abc", "'abc' is not a valid date and time"}};
    for (const auto& c : cases) {
        Bytes out(16, kSentinel);
        try {
            (void)EncodeElement(kId, c.type, c.text, out);
            ADD_FAILURE() << "no error raised for " << c.message;
        } catch (const OvException& e) {
            EXPECT_EQ(e.Code(), kUnknownError);
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(out, Bytes(16, kSentinel));
    }
}

// Encodes with room for `room` bytes and expects the given error with nothing written.
void ExpectRefused(std::uint8_t id, std::uint8_t type, std::string_view text, std::size_t room,
                   const char* message) {
    Bytes buffer(room + 4, kSentinel);
    try {
        (void)EncodeElement(id, type, text, std::span<std::uint8_t>(buffer).first(room));
        ADD_FAILURE() << "no error raised, room " << room;
    } catch (const OvException& e) {
        EXPECT_EQ(e.Code(), kUnknownError);
        EXPECT_STREQ(e.what(), message);
    }
    EXPECT_EQ(buffer, Bytes(room + 4, kSentinel));
}

TEST(ValueCodecTest, NeverWritesPastTheOutput) {
    for (const auto& c : kBothWays) {
        const std::size_t needed = Element(c.value).size();
        for (std::size_t room = 0; room < needed; ++room) {
            ExpectRefused(kId, c.type, c.text, room,
                          "The value of variable 7 does not fit in the request buffer!");
        }
    }
    Bytes out(65536, kSentinel);
    EXPECT_EQ(EncodeElement(kId, kDisplayStr, std::string(65532, 'x'), std::span(out).first(65535)), 65535);
    EXPECT_EQ(out[2], 0xFF);
    const char* tooLong = "The value of variable 12 is longer than 65532 bytes!";
    ExpectRefused(12, kDisplayStr, std::string(65533, 'x'), 70000, tooLong);
    ExpectRefused(12, kOctetStr, std::string(2 * 65533, 'A'), 70000, tooLong);
}

TEST(ValueCodecTest, LookupWalksElementByElement) {
    const Bytes area = {0x01, 0x00, 0x04, 0xAA, 0x02, 0x00, 0x03, 0x03, 0x00, 0x05,
                        0xBB, 0xCC, 0x01, 0x00, 0x04, 0xDD, 0x04, 0x00, 0x03};
    const auto asBytes = [](auto value) { return value ? Bytes(value->begin(), value->end()) : Bytes{0x99}; };
    EXPECT_EQ(asBytes(FindElement(1, area)), Bytes{0xAA});  // the first duplicate wins
    EXPECT_EQ(asBytes(FindElement(2, area)), Bytes{});      // empty, inside the area
    EXPECT_EQ(asBytes(FindElement(3, area)), (Bytes{0xBB, 0xCC}));
    EXPECT_FALSE(FindElement(4, area).has_value());  // empty and ending the area
    EXPECT_FALSE(FindElement(5, area).has_value());
    EXPECT_FALSE(FindElement(1, {}).has_value());
}

TEST(ValueCodecTest, BadFramingIsNotFound) {
    const struct {
        const char* reason;
        Bytes area;
    } bad[] = {{"length 2 ends the walk", {0x01, 0x00, 0x02, kId, 0x00, 0x04, 0xAA}},
               {"length 0 ends the walk", {0x01, 0x00, 0x00, kId, 0x00, 0x04, 0xAA}},
               {"sought element with length 2", {kId, 0x00, 0x02, 0xAA, 0xBB}},
               {"header of one byte", {kId}},
               {"header of two bytes", {0x01, 0x00, 0x03, kId, 0x00}},
               {"value past the end", {kId, 0x00, 0x06, 0xAA}},
               {"skip past the end", {0x01, 0x00, 0x09, 0xAA, kId, 0x00, 0x04, 0xBB}}};
    for (const auto& c : bad) {
        EXPECT_FALSE(FindElement(kId, c.area).has_value()) << c.reason;
        EXPECT_EQ(Decode(kOctetStr, c.area), Result(kBadVariableId, "old")) << c.reason;
    }
}

TEST(ValueCodecTest, EveryLengthAtTheEndOfTheAreaIsSafe) {
    for (std::size_t length = 0; length <= 0xFFFF; ++length) {
        const Bytes area = {0x01,
                            0x00,
                            0x03,
                            kId,
                            static_cast<std::uint8_t>(length >> 8),
                            static_cast<std::uint8_t>(length & 0xFF),
                            0xAA,
                            0xBB};
        const auto value = FindElement(kId, area);
        ASSERT_EQ(value.has_value(), length >= 3 && length <= 5) << length;
        if (value) {
            EXPECT_EQ(value->data() + value->size(), area.data() + 3 + length);
        }
        for (int type = 0; type <= 18; ++type) (void)Decode(static_cast<std::uint8_t>(type), area);
    }
    std::mt19937 random(99);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 20000; ++i) {
        Bytes area(static_cast<std::size_t>(byte(random) % 40));
        for (auto& b : area)
            b = static_cast<std::uint8_t>(byte(random) % 8 == 0 ? byte(random) : byte(random) % 12);
        (void)Decode(static_cast<std::uint8_t>(1 + i % 17), area);
    }
}

}  // namespace
