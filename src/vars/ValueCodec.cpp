#include "vars/ValueCodec.h"

#include "errors/Messages.h"
#include "errors/OvException.h"
#include "vars/AddressText.h"
#include "vars/DateTimeText.h"
#include "vars/FloatText.h"
#include "vars/IntegerText.h"
#include "vars/OctetStr.h"
#include "vars/TimeTicks.h"
#include "vars/VarTypes.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace {

// The element length is a 16-bit field that counts the header too.
constexpr std::size_t kMaxValueWidth = 0xFFFF - kElementHeaderSize;
constexpr std::size_t kMacAddressWidth = 6;

using Bytes = std::vector<std::uint8_t>;

// The low `width` bytes of value, most significant first.
[[nodiscard]] Bytes BigEndian(std::uint64_t value, int width) {
    Bytes bytes(static_cast<std::size_t>(width));
    for (int i = width - 1; i >= 0; --i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
    return bytes;
}

[[nodiscard]] std::uint64_t ReadBigEndian(std::span<const std::uint8_t> bytes) noexcept {
    std::uint64_t value = 0;
    for (const std::uint8_t byte : bytes) value = value << 8 | byte;
    return value;
}

// An 8-byte number on the wire: the low 32 bits of its pattern first, then the high 32 bits, each
// half big-endian.
[[nodiscard]] Bytes SplitOrder(double value) {
    const auto pattern = std::bit_cast<std::uint64_t>(value);
    Bytes bytes = BigEndian(pattern & 0xFFFFFFFFu, 4);
    const Bytes high = BigEndian(pattern >> 32, 4);
    bytes.insert(bytes.end(), high.begin(), high.end());
    return bytes;
}

[[nodiscard]] double FromSplitOrder(std::span<const std::uint8_t> bytes) noexcept {
    const std::uint64_t low = ReadBigEndian(bytes.first(4));
    const std::uint64_t high = ReadBigEndian(bytes.subspan(4, 4));
    return std::bit_cast<double>(high << 32 | low);
}

// "false" exactly is false; every other text is true, sent as 0x01 followed by zeros.
[[nodiscard]] Bytes BooleanBytes(std::string_view text, int width) {
    Bytes bytes(static_cast<std::size_t>(width), 0);
    if (text != "false") bytes[0] = 1;
    return bytes;
}

[[nodiscard]] Bytes IntegerBytes(std::uint8_t type, std::string_view text, int width) {
    const bool isUnsigned = type == kUInt8 || type == kUInt16 || type == kUInt32;
    const auto bits = isUnsigned ? ParseUInt32Text(text) : static_cast<std::uint32_t>(ParseInt32Text(text));
    return BigEndian(bits, width);
}

[[nodiscard]] Bytes MacAddressBytes(std::string_view text) {
    const OctetStr octets = OctetStr::FromHexString(text);
    // A shorter text leaves the missing bytes zero: the element always carries six.
    Bytes bytes(kMacAddressWidth, 0);
    const auto given = octets.Bytes().first(std::min(octets.Length(), kMacAddressWidth));
    std::copy(given.begin(), given.end(), bytes.begin());
    return bytes;
}

[[nodiscard]] Bytes ValueBytes(std::uint8_t type, std::string_view text, const LocaleSettings& locale) {
    const int width = FixedWireWidth(type);
    switch (type) {
        case kBool8:
        case kBool16:
        case kBool32:
            return BooleanBytes(text, width);
        case kInt8:
        case kUInt8:
        case kInt16:
        case kUInt16:
        case kInt32:
        case kUInt32:
            return IntegerBytes(type, text, width);
        case kDouble:
            return SplitOrder(ParseFloatText(text, locale));
        case kTimeticks:
            return BigEndian(TimeTicks::FromText(text).Value(), width);
        case kDateTime:
            return SplitOrder(ParseDateTime(text, locale));
        case kIpAddress: {
            const auto address = InetAddr(text);
            return address ? Bytes(address->begin(), address->end()) : Bytes(4, 0xFF);
        }
        case kMacAddress:
            return MacAddressBytes(text);
        case kBitStr:
        case kOctetStr: {
            const OctetStr octets = OctetStr::FromHexString(text);
            return Bytes(octets.Bytes().begin(), octets.Bytes().end());
        }
        default:  // kDisplayStr
            return Bytes(text.begin(), text.end());
    }
}

// The text of a value whose width has been checked; no value for a date-time number that is no date.
[[nodiscard]] std::optional<std::string> TextOfValue(std::uint8_t type, std::span<const std::uint8_t> value,
                                                     const LocaleSettings& locale) {
    // The integer types, booleans, timeticks and addresses are at most four bytes wide.
    const int width = FixedWireWidth(type);
    const std::uint64_t number = width > 0 && width <= 4 ? ReadBigEndian(value) : 0;
    switch (type) {
        case kBool8:
        case kBool16:
        case kBool32:
            return number != 0 ? "true" : "false";
        case kInt8:
            return std::to_string(static_cast<std::int8_t>(number));
        case kInt16:
            return std::to_string(static_cast<std::int16_t>(number));
        case kInt32:
            return std::to_string(static_cast<std::int32_t>(number));
        case kUInt8:
        case kUInt16:
        case kUInt32:
            return std::to_string(number);
        case kDouble:
            return FormatGeneralFloat(FromSplitOrder(value), locale);
        case kTimeticks:
            return TimeTicks(static_cast<std::uint32_t>(number)).ToText();
        case kDateTime: {
            const double dateTime = FromSplitOrder(value);
            if (!IsValidDateTime(dateTime)) return std::nullopt;
            return FormatDateTime(dateTime, locale);
        }
        case kIpAddress:
            return DottedAddress({value[0], value[1], value[2], value[3]});
        case kMacAddress:
        case kBitStr:
        case kOctetStr:
            return OctetStr(value).ToHexString();
        default:  // kDisplayStr
            return OctetStr(value).ToPrintable();
    }
}

}  // namespace

std::optional<std::span<const std::uint8_t>> FindElement(std::uint8_t id,
                                                         std::span<const std::uint8_t> area) {
    std::size_t pos = 0;
    while (pos < area.size()) {
        if (area.size() - pos < static_cast<std::size_t>(kElementHeaderSize)) return std::nullopt;
        const std::size_t length = static_cast<std::size_t>(area[pos + 1]) << 8 | area[pos + 2];
        // A length below 3 would not move past its own header: the walk ends there.
        if (length < static_cast<std::size_t>(kElementHeaderSize)) return std::nullopt;
        if (area[pos] == id) {
            const std::size_t valueStart = pos + kElementHeaderSize;
            if (valueStart >= area.size()) return std::nullopt;
            // A value that runs past the area is not found; nothing after it can match either.
            if (length > area.size() - pos) return std::nullopt;
            return area.subspan(valueStart, length - kElementHeaderSize);
        }
        pos += length;
    }
    return std::nullopt;
}

int EncodeElement(std::uint8_t id, std::uint8_t type, std::string_view valueText, std::span<std::uint8_t> out,
                  const LocaleSettings& locale) {
    if (!IsValueType(type)) {
        if (!out.empty()) out[0] = id;
        return kBadValueType;
    }
    const Bytes value = ValueBytes(type, valueText, locale);
    if (value.size() > kMaxValueWidth) {
        throw OvException("The value of variable " + std::to_string(id) + " is longer than " +
                          std::to_string(kMaxValueWidth) + " bytes!");
    }
    const std::size_t length = kElementHeaderSize + value.size();
    if (length > out.size()) {
        throw OvException("The value of variable " + std::to_string(id) +
                          " does not fit in the request buffer!");
    }
    out[0] = id;
    out[1] = static_cast<std::uint8_t>(length >> 8);
    out[2] = static_cast<std::uint8_t>(length & 0xFF);
    std::copy(value.begin(), value.end(), out.begin() + kElementHeaderSize);
    return static_cast<int>(length);
}

int DecodeElement(std::uint8_t id, std::uint8_t type, std::string& valueText,
                  std::span<const std::uint8_t> area, const LocaleSettings& locale) {
    const auto value = FindElement(id, area);
    if (!value) return kBadVariableId;
    if (!IsValueType(type)) return kOk;
    const int width = FixedWireWidth(type);
    if (width >= 0 && value->size() != static_cast<std::size_t>(width)) return kBadPacket;
    auto text = TextOfValue(type, *value, locale);
    if (!text) return kBadPacket;
    valueText = std::move(*text);
    return kOk;
}
