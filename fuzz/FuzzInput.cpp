#include "FuzzInput.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

std::uint8_t FuzzInput::Byte() noexcept {
    if (rest_.empty()) return 0;
    const std::uint8_t value = rest_.front();
    rest_ = rest_.subspan(1);
    return value;
}

std::uint16_t FuzzInput::Word() noexcept {
    const std::uint8_t high = Byte();
    return static_cast<std::uint16_t>(high << 8 | Byte());
}

std::string FuzzInput::Text() { return Take(Byte()); }

std::string FuzzInput::LongText() { return Take(Word()); }

std::string FuzzInput::RestText() { return Take(rest_.size()); }

std::span<const std::uint8_t> FuzzInput::RestBytes() noexcept {
    const auto bytes = rest_;
    rest_ = {};
    return bytes;
}

std::string FuzzInput::Take(std::size_t count) {
    count = std::min(count, rest_.size());
    std::string text(rest_.begin(), rest_.begin() + static_cast<std::ptrdiff_t>(count));
    rest_ = rest_.subspan(count);
    return text;
}

FuzzInputWriter& FuzzInputWriter::Byte(std::uint8_t value) {
    bytes_.push_back(value);
    return *this;
}

FuzzInputWriter& FuzzInputWriter::Word(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    return *this;
}

FuzzInputWriter& FuzzInputWriter::Text(std::string_view text) {
    text = text.substr(0, 255);
    Byte(static_cast<std::uint8_t>(text.size()));
    return Rest(text);
}

FuzzInputWriter& FuzzInputWriter::LongText(std::string_view text) {
    text = text.substr(0, 0xFFFF);
    Word(static_cast<std::uint16_t>(text.size()));
    return Rest(text);
}

FuzzInputWriter& FuzzInputWriter::Rest(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
}

FuzzInputWriter& FuzzInputWriter::Rest(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

void FuzzFailure(std::string_view what, std::string_view detail) {
    std::fprintf(stderr, "\n*** broken property: %.*s\n", static_cast<int>(what.size()), what.data());
    if (!detail.empty()) {
        const std::string shown = Escaped(detail);
        std::fprintf(stderr, "*** %s\n", shown.c_str());
    }
    std::fflush(stderr);
    std::abort();
}

std::string Escaped(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            shown.push_back(c);
        } else {
            shown += "\\x";
            shown.push_back(kHex[byte >> 4]);
            shown.push_back(kHex[byte & 0x0F]);
        }
    }
    return shown;
}
