#include "binding/PartialValue.h"

#include <bit>
#include <cmath>

#include "errors/Messages.h"
#include "vars/AddressText.h"
#include "vars/DateTimeText.h"
#include "vars/FloatText.h"
#include "vars/IntegerText.h"
#include "vars/OctetStr.h"
#include "vars/Oid.h"
#include "vars/TimeTicks.h"
#include "vars/VarTypes.h"

namespace {

// The date-time numbers of 0001-01-01 00:00 and of the day after 9999-12-31.
constexpr double kFirstDateTime = -693593.0;
constexpr double kEndDateTime = 2958466.0;

void AppendUnsigned(ValueBytes& bytes, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

ValueBytes UnsignedBytes(std::uint64_t value, int width) {
    ValueBytes bytes;
    AppendUnsigned(bytes, value, width);
    return bytes;
}

ValueBytes DoubleBytes(double value) { return UnsignedBytes(std::bit_cast<std::uint64_t>(value), 8); }

ValueBytes IpAddressBytes(std::string_view text) {
    ValueBytes bytes;
    if (const std::optional<Oid> oid = Oid::Parse(text)) {
        for (std::size_t i = 0; i < oid->Length(); ++i)
            bytes.push_back(static_cast<std::uint8_t>(oid->At(i)));
    }
    return bytes;
}

ValueBytes HexBytes(std::string_view text) {
    const OctetStr octets = OctetStr::FromHexString(text);
    return ValueBytes(octets.Bytes().begin(), octets.Bytes().end());
}

bool AnyNonZero(std::span<const std::uint8_t> bytes, int width) {
    for (int i = 0; i < width; ++i) {
        if (bytes[static_cast<std::size_t>(i)] != 0) return true;
    }
    return false;
}

std::string DisplayText(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (byte == 0) break;
        text += static_cast<char>(byte);
    }
    return text;
}

}  // namespace

int ValueWidth(int type) {
    if (!IsValueType(type)) RaiseNDCPError(kBadValueType);
    return FixedWireWidth(type);
}

ValueBytes TextToValue(std::string_view text, int type, const LocaleSettings& locale) {
    switch (type) {
        case kBool8:
        case kBool16:
        case kBool32:
            return UnsignedBytes(text == "true" ? 1 : 0, ValueWidth(type));
        case kInt8:
        case kUInt8:
        case kInt16:
        case kUInt16:
        case kInt32:
        case kUInt32:
            return UnsignedBytes(static_cast<std::uint64_t>(LeadingInteger(text)), ValueWidth(type));
        case kDouble:
            return DoubleBytes(ParseFloatText(text, locale));
        case kTimeticks:
            return UnsignedBytes(TimeTicks::FromText(text).Value(), 4);
        case kDateTime:
            return DoubleBytes(ParseDateTime(text, locale));
        case kIpAddress:
            return IpAddressBytes(text);
        case kMacAddress:
        case kBitStr:
        case kOctetStr:
            return HexBytes(text);
        case kDisplayStr:
            return ValueBytes(text.begin(), text.end());
        default:
            RaiseNDCPError(kBadValueType);
    }
}

std::string ValueToText(std::span<const std::uint8_t> bytes, int type, const LocaleSettings& locale) {
    const int width = ValueWidth(type);
    if (width > 0 && bytes.size() < static_cast<std::size_t>(width)) RaiseNDCPError(kBadPartialValue);
    switch (type) {
        case kBool8:
        case kBool16:
        case kBool32:
            return AnyNonZero(bytes, width) ? "true" : "false";
        case kInt8:
            return std::to_string(static_cast<std::int8_t>(UnsignedOf(bytes, 1)));
        case kUInt8:
            return std::to_string(UnsignedOf(bytes, 1));
        case kInt16:
            return std::to_string(static_cast<std::int16_t>(UnsignedOf(bytes, 2)));
        case kUInt16:
            return std::to_string(UnsignedOf(bytes, 2));
        case kInt32:
            return std::to_string(static_cast<std::int32_t>(UnsignedOf(bytes, 4)));
        case kUInt32:
            return std::to_string(UnsignedOf(bytes, 4));
        case kDouble:
            return FormatGeneralFloat(DoubleOf(bytes), locale);
        case kTimeticks:
            return TimeTicks(static_cast<std::uint32_t>(UnsignedOf(bytes, 4))).ToText();
        case kDateTime:
            return FormatDateTime(DateTimeOf(bytes), locale);
        case kIpAddress:
            return DottedAddress({bytes[0], bytes[1], bytes[2], bytes[3]});
        case kMacAddress:
        case kBitStr:
        case kOctetStr:
            return OctetStr(bytes).ToHexString();
        default:
            return DisplayText(bytes);  // kDisplayStr, the only type left
    }
}

ValueBytes ExtractPartial(std::span<const std::uint8_t> bytes, std::uint32_t startByte, int type) {
    const int width = ValueWidth(type);
    const std::uint64_t start = startByte;
    const std::uint64_t end = width < 0 ? bytes.size() : start + static_cast<std::uint64_t>(width);
    if (start > bytes.size() || end > bytes.size()) RaiseNDCPError(kStartByteOutOfRange);
    return ValueBytes(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                      bytes.begin() + static_cast<std::ptrdiff_t>(end));
}

bool BitOf(std::span<const std::uint8_t> bytes, std::int32_t bit) {
    if (bit < 0 || static_cast<std::size_t>(bit / 8) >= bytes.size()) RaiseNDCPError(kBitIndexOutOfRange);
    return (bytes[static_cast<std::size_t>(bit / 8)] & (0x80u >> (bit % 8))) != 0;
}

void SetBitOf(ValueBytes& bytes, std::int32_t bit, bool set) {
    if (bit < 0) RaiseNDCPError(kBitIndexOutOfRange);
    const auto byte = static_cast<std::size_t>(bit / 8);
    if (bytes.size() <= byte) bytes.resize(byte + 1, 0);
    const auto mask = static_cast<std::uint8_t>(0x80u >> (bit % 8));
    bytes[byte] = static_cast<std::uint8_t>(set ? (bytes[byte] | mask) : (bytes[byte] & ~mask));
}

std::uint64_t UnsignedOf(std::span<const std::uint8_t> bytes, int width) {
    if (width < 0 || bytes.size() < static_cast<std::size_t>(width)) RaiseNDCPError(kBadPartialValue);
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[static_cast<std::size_t>(i)];
    return value;
}

double DoubleOf(std::span<const std::uint8_t> bytes) { return std::bit_cast<double>(UnsignedOf(bytes, 8)); }

double DateTimeOf(std::span<const std::uint8_t> bytes) {
    const double value = DoubleOf(bytes);
    if (!std::isfinite(value) || value < kFirstDateTime || value >= kEndDateTime)
        RaiseNDCPError(kBadPartialValue);
    return value;
}
