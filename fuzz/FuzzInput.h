#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Reads the pieces a fuzz target needs from its input: bytes, 16-bit words and texts framed by a
// length. Reading past the end gives zeros and empty texts, so every input is a valid one.
class FuzzInput {
public:
    explicit FuzzInput(std::span<const std::uint8_t> data) noexcept : rest_(data) {}

    [[nodiscard]] bool Empty() const noexcept { return rest_.empty(); }
    [[nodiscard]] std::uint8_t Byte() noexcept;
    // Two bytes, high first.
    [[nodiscard]] std::uint16_t Word() noexcept;
    // A length byte, then up to that many bytes.
    [[nodiscard]] std::string Text();
    // A 16-bit length, then up to that many bytes.
    [[nodiscard]] std::string LongText();
    // Everything not read yet.
    [[nodiscard]] std::string RestText();
    [[nodiscard]] std::span<const std::uint8_t> RestBytes() noexcept;

private:
    [[nodiscard]] std::string Take(std::size_t count);

    std::span<const std::uint8_t> rest_;
};

// Writes inputs in the layout FuzzInput reads; the seed corpus is built with it.
class FuzzInputWriter {
public:
    FuzzInputWriter& Byte(std::uint8_t value);
    FuzzInputWriter& Word(std::uint16_t value);
    FuzzInputWriter& Text(std::string_view text);  // at most 255 bytes are kept
    FuzzInputWriter& LongText(std::string_view text);
    FuzzInputWriter& Rest(std::string_view text);
    FuzzInputWriter& Rest(std::span<const std::uint8_t> bytes);

    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const noexcept { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Reports a broken property of the code under test and aborts, which the fuzzer records as a
// finding together with the input.
[[noreturn]] void FuzzFailure(std::string_view what, std::string_view detail = {});

// Text of bytes for messages: printable ASCII as is, everything else as \xHH.
[[nodiscard]] std::string Escaped(std::string_view text);
