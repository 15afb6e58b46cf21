#include "vars/OctetStr.h"

#include "errors/Messages.h"

namespace {

// The value of a hexadecimal digit; any other character counts as 0.
[[nodiscard]] std::uint8_t HexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    return 0;
}

}  // namespace

OctetStr::OctetStr(std::span<const std::uint8_t> bytes) : bytes_(bytes.begin(), bytes.end()) {}

OctetStr OctetStr::FromHexString(std::string_view text) {
    std::string digits;
    digits.reserve(text.size());
    for (const char c : text) {
        if (c != ' ') digits.push_back(c);
    }
    OctetStr result;
    result.bytes_.reserve(digits.size() / 2 + 1);
    std::size_t pos = 0;
    if (digits.size() % 2 != 0) {
        result.Append(HexDigitValue(digits[0]));
        pos = 1;
    }
    for (; pos + 1 < digits.size(); pos += 2) {
        const auto high = HexDigitValue(digits[pos]);
        const auto low = HexDigitValue(digits[pos + 1]);
        result.Append(static_cast<std::uint8_t>(high << 4 | low));
    }
    return result;
}

std::uint8_t OctetStr::At(std::size_t index) const {
    if (index >= bytes_.size()) RaiseConstraintError(kIndexOutOfRange);
    return bytes_[index];
}

std::string OctetStr::ToHexString() const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes_.size() * 2);
    for (const std::uint8_t byte : bytes_) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::string OctetStr::ToPrintable() const {
    std::string text;
    for (const std::uint8_t byte : bytes_) {
        if (byte == 0) break;
        text.push_back(static_cast<char>(byte));
    }
    return text;
}
