#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text that arrives as bytes in no declared character set: the names a device reports, a password
// read from a file. Read as UTF-8 where the bytes are valid UTF-8 (shortest form, no surrogates, up
// to U+10FFFF), and every other byte as the Latin-1 character of its value, so that any bytes give
// characters and plain Latin-1 text reads as it was meant.

// The character that begins at pos (pos < bytes.size()) and the number of bytes it takes.
struct DecodedCharacter {
    char32_t code = 0;
    std::size_t length = 1;
};
[[nodiscard]] DecodedCharacter CharacterAt(std::string_view bytes, std::size_t pos) noexcept;

// The character as UTF-8, appended.
void AppendUtf8(std::string& out, char32_t code);

// The whole text as UTF-8.
[[nodiscard]] std::string DeviceTextAsUtf8(std::string_view bytes);

// C0 controls, DEL and C1 controls: characters a terminal may act on rather than show.
[[nodiscard]] constexpr bool IsControlCharacter(char32_t code) noexcept {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}
