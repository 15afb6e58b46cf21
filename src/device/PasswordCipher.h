#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The access password encryption: two-key triple DES (EDE) in ECB mode under a key text, written
// as upper-case hexadecimal text.

enum class DesDirection { kEncrypt, kDecrypt };

// DES (FIPS 46-3) on one 8-byte block.
void DesCryptBlock(DesDirection direction, std::span<const std::uint8_t, 8> key,
                   std::span<const std::uint8_t, 8> input, std::span<std::uint8_t, 8> output) noexcept;

// Two-key triple DES: encrypt K1, decrypt K2, encrypt K1 (and the reverse for decryption).
void TripleDesEdeBlock(DesDirection direction, std::span<const std::uint8_t, 16> key,
                       std::span<const std::uint8_t, 8> input, std::span<std::uint8_t, 8> output) noexcept;

// Encrypts the input block by block with an 8- or 16-byte key; a last partial block is padded
// with 0x80 and zeros. output must hold 8 * ceil(n / 8) bytes. Returns the count written.
// Raises OvException "The length of the key to encrypt password must be 8 or 16!" for another key,
// and refuses (kUnknownError) an output too small for the blocks; nothing is written then.
std::size_t EncryptBytes(std::span<const std::uint8_t> key, std::span<const std::uint8_t> input,
                         std::span<std::uint8_t> output);

// Two characters per byte, high nibble first, 0-9 and A-F.
[[nodiscard]] std::string BytesToHexText(std::span<const std::uint8_t> bytes);

// The encrypted password as upper-case hexadecimal text; empty for an empty password.
// Raises OvException with one of the three messages of the cipher.
[[nodiscard]] std::string EncryptAccessPassword(std::string_view keyText, std::string_view password);

// The fixed key text of the Set IP command.
inline constexpr std::string_view kAccessPasswordKey = "5A3C96E10F7B2D48";
