#include "binding/PartialValue.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>

#include "errors/OvException.h"
#include "testkit/ExpectOvError.h"
#include "vars/VarTypes.h"

namespace {

constexpr char kBadValueType[] = "Bad value type!";
constexpr char kBadValue[] = "Bad value of NDCP variable's (partial) data!";
constexpr char kBadStart[] =
    "Out of range about the starting byte index of the NDCP variable's (partial) data related to a edit!";
constexpr char kBadBit[] =
    "Out of range about the bit index of the NDCP variable's (partial) data related to a edit!";

struct TextRow {
    const char* name;
    const char* text;
    int type;
    ValueBytes bytes;
};

// Value bytes are least significant byte first: 1027 is 03 04, 1.0 ends in F0 3F.
const TextRow kTextToValue[] = {
    {"bool8_true", "true", kBool8, {0x01}},
    {"bool8_only_exact_true", "True", kBool8, {0x00}},
    {"bool32_true", "true", kBool32, {0x01, 0x00, 0x00, 0x00}},
    {"int8_minus_one", "-1", kInt8, {0xFF}},
    {"uint8_cut_to_width", "300", kUInt8, {0x2C}},
    {"uint16_lsb_first", "1027", kUInt16, {0x03, 0x04}},
    {"uint32_full_range", "4294967295", kUInt32, {0xFF, 0xFF, 0xFF, 0xFF}},
    {"int32_leading_digits", "12abc", kInt32, {0x0C, 0x00, 0x00, 0x00}},
    {"double_one", "1", kDouble, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
    {"timeticks", "1 day 1:02:03.45", kTimeticks, {0x79, 0x84, 0x89, 0x00}},
    {"datetime", "2005/01/01 12:00:00 am", kDateTime, {0, 0, 0, 0, 0x20, 0xBA, 0xE2, 0x40}},
    {"ip_in_text_order", "192.168.0.1", kIpAddress, {0xC0, 0xA8, 0x00, 0x01}},
    {"ip_three_components", "1.2.3", kIpAddress, {0x01, 0x02, 0x03}},
    {"ip_low_eight_bits", "300.1.1.1", kIpAddress, {0x2C, 0x01, 0x01, 0x01}},
    {"ip_not_dotted_gives_nothing", "not an address", kIpAddress, {}},
    {"mac_hex", "0011aabbccdd", kMacAddress, {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD}},
    {"octetstr_odd_digits", "ABC", kOctetStr, {0x0A, 0xBC}},
    {"displaystr_characters", "ab", kDisplayStr, {0x61, 0x62}},
};

TEST(PartialValueTest, TextToValue) {
    for (const TextRow& row : kTextToValue) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TextToValue(row.text, row.type), row.bytes);
    }
}

const TextRow kValueToText[] = {
    {"bool8_any_nonzero", "true", kBool8, {0x02}},
    {"bool16_high_byte", "true", kBool16, {0x00, 0x01}},
    {"int8_ff", "-1", kInt8, {0xFF}},
    {"uint8_ff", "255", kUInt8, {0xFF}},
    {"uint8_extra_bytes_ignored", "5", kUInt8, {0x05, 0x06}},
    {"uint16_lsb_first", "1027", kUInt16, {0x03, 0x04}},
    {"int16_negative", "-2", kInt16, {0xFE, 0xFF}},
    {"uint32_max", "4294967295", kUInt32, {0xFF, 0xFF, 0xFF, 0xFF}},
    {"double_half", "0.5", kDouble, {0, 0, 0, 0, 0, 0, 0xE0, 0x3F}},
    {"timeticks", "1 day 1:02:03.45", kTimeticks, {0x79, 0x84, 0x89, 0x00}},
    {"datetime_noon", "2005/01/01 12:00:00 pm", kDateTime, {0, 0, 0, 0, 0x30, 0xBA, 0xE2, 0x40}},
    {"ip_first_four", "192.168.0.32", kIpAddress, {0xC0, 0xA8, 0x00, 0x20, 0xFF}},
    {"mac_upper_hex", "0011AABBCCDD", kMacAddress, {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD}},
    {"displaystr_stops_at_zero", "ab", kDisplayStr, {0x61, 0x62, 0x00, 0x63}},
};

TEST(PartialValueTest, ValueToText) {
    for (const TextRow& row : kValueToText) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ValueToText(row.bytes, row.type), row.text);
    }
}

TEST(PartialValueTest, ShortOrImpossibleBytesAreBadValues) {
    const struct {
        const char* name;
        int type;
        ValueBytes bytes;
    } rows[] = {
        {"bool16_one_byte", kBool16, {0x01}},
        {"uint32_three_bytes", kUInt32, {1, 2, 3}},
        {"double_seven_bytes", kDouble, {0, 0, 0, 0, 0, 0, 0}},
        {"ip_three_bytes", kIpAddress, {1, 2, 3}},
        {"mac_five_bytes", kMacAddress, {1, 2, 3, 4, 5}},
        {"datetime_nan", kDateTime, ValueBytes(8, 0xFF)},
        {"datetime_beyond_year_9999", kDateTime, {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}},  // infinity
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ExpectOvError([&] { (void)ValueToText(row.bytes, row.type); }, -1018, kBadValue);
    }
    ValueBytes huge(8);
    const auto bits = std::bit_cast<std::uint64_t>(1e300);
    for (int i = 0; i < 8; ++i)
        huge[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
    ExpectOvError([&] { (void)ValueToText(huge, kDateTime); }, -1018, kBadValue);
}

TEST(PartialValueTest, TypesOutsideTheTableAreBadValueTypes) {
    for (const int type : {0, 18, 255, -1}) {
        SCOPED_TRACE(type);
        ExpectOvError([&] { (void)TextToValue("1", type); }, -1007, kBadValueType);
        ExpectOvError([&] { (void)ValueToText(ValueBytes(8, 0), type); }, -1007, kBadValueType);
        ExpectOvError([&] { (void)ExtractPartial(ValueBytes(8, 0), 0, type); }, -1007, kBadValueType);
    }
}

TEST(PartialValueTest, ExtractPartial) {
    const ValueBytes bytes = {0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(ExtractPartial(bytes, 2, kUInt16), (ValueBytes{0x03, 0x04}));
    EXPECT_EQ(ValueToText(ExtractPartial(bytes, 2, kUInt16), kUInt16), "1027");
    EXPECT_EQ(ExtractPartial(bytes, 1, kOctetStr), (ValueBytes{0x02, 0x03, 0x04}));
    EXPECT_EQ(ExtractPartial(bytes, 4, kDisplayStr), ValueBytes{});  // at the end: empty
    EXPECT_EQ(ExtractPartial(bytes, 0, kIpAddress), bytes);
    const struct {
        std::uint32_t start;
        int type;
    } beyond[] = {{3, kUInt16},     {1, kUInt32}, {0, kDouble},
                  {0, kMacAddress}, {5, kBitStr}, {0xFFFFFFFF, kUInt32}};
    for (const auto& row : beyond) {
        SCOPED_TRACE(std::to_string(row.start) + " type " + std::to_string(row.type));
        ExpectOvError([&] { (void)ExtractPartial(bytes, row.start, row.type); }, -1019, kBadStart);
    }
}

TEST(PartialValueTest, BitsCountFromTheMostSignificantBitOfTheFirstByte) {
    const ValueBytes bytes = {0x80, 0x40};
    const struct {
        int bit;
        bool set;
    } rows[] = {{0, true}, {1, false}, {7, false}, {8, false}, {9, true}, {15, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bit);
        EXPECT_EQ(BitOf(bytes, row.bit), row.set);
    }
    for (const int bit : {16, -1, std::numeric_limits<int>::min()}) {
        SCOPED_TRACE(bit);
        ExpectOvError([&] { (void)BitOf(bytes, bit); }, -1021, kBadBit);
    }
    ValueBytes built;
    SetBitOf(built, 9, true);
    EXPECT_EQ(built, (ValueBytes{0x00, 0x40}));
    SetBitOf(built, 0, true);
    SetBitOf(built, 9, false);
    EXPECT_EQ(built, (ValueBytes{0x80, 0x00}));
    ExpectOvError([&] { SetBitOf(built, -3, true); }, -1021, kBadBit);
}

}  // namespace
