#include "device/DeviceText.h"

#include <cstdint>

namespace {

constexpr bool IsContinuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// The length and value of a valid UTF-8 sequence at pos, or length 0.
DecodedCharacter Utf8At(std::string_view bytes, std::size_t pos) noexcept {
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    std::size_t length = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        smallest = 0x10000;
    } else {
        return {0, 0};
    }
    if (bytes.size() - pos < length) return {0, 0};
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[pos + i]);
        if (!IsContinuation(byte)) return {0, 0};
        code = code << 6 | (byte & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < smallest || surrogate || code > 0x10FFFF) return {0, 0};
    return {code, length};
}

}  // namespace

DecodedCharacter CharacterAt(std::string_view bytes, std::size_t pos) noexcept {
    const auto byte = static_cast<unsigned char>(bytes[pos]);
    if (byte < 0x80) return {byte, 1};
    const DecodedCharacter utf8 = Utf8At(bytes, pos);
    return utf8.length != 0 ? utf8 : DecodedCharacter{byte, 1};
}

void AppendUtf8(std::string& out, char32_t code) {
    const auto put = [&out](std::uint32_t value) { out.push_back(static_cast<char>(value)); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | code >> 6);
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | code >> 12);
        put(0x80 | (code >> 6 & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | code >> 18);
        put(0x80 | (code >> 12 & 0x3F));
        put(0x80 | (code >> 6 & 0x3F));
        put(0x80 | (code & 0x3F));
    }
}

std::string DeviceTextAsUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t pos = 0; pos < bytes.size();) {
        const DecodedCharacter c = CharacterAt(bytes, pos);
        AppendUtf8(text, c.code);
        pos += c.length;
    }
    return text;
}
