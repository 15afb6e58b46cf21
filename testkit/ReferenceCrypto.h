#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Independent implementations of the digest and ciphers the project writes itself, for tests to
// compare against: OpenSSL on Linux, the system's own cryptography (bcrypt) on Windows.

// The MD5 digest of the bytes.
[[nodiscard]] std::array<std::uint8_t, 16> ReferenceMd5(std::span<const std::uint8_t> data);

// ECB encryption without padding of whole 8-byte blocks, with an 8-byte key (single DES) or a
// 16-byte key (two-key triple DES, encrypt-decrypt-encrypt). No value when the reference lacks
// single DES (OpenSSL without its legacy provider).
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ReferenceDesEcb(std::span<const std::uint8_t> key,
                                                                       std::span<const std::uint8_t> input);
