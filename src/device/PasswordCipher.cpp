#include "device/PasswordCipher.h"

#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "device/SecureWipe.h"
#include "errors/OvException.h"

namespace {

constexpr std::size_t kBlockSize = 8;
constexpr std::uint8_t kPaddingMark = 0x80;

constexpr std::string_view kBadKeyTextLength =
    "The length of the key to encrypt password must be 8*2 or 16*2!";
constexpr std::string_view kBadKeyLength = "The length of the key to encrypt password must be 8 or 16!";
constexpr std::string_view kNoMemory = "Memory is not enough!";

// The permutation tables of DES. Each entry names the input bit that becomes the next output bit,
// counting from 1 at the most significant bit of the input.
constexpr std::array<std::uint8_t, 64> kInitialPermutation = {
    58, 50, 42, 34, 26, 18, 10, 2,  60, 52, 44, 36, 28, 20, 12, 4,  62, 54, 46, 38, 30, 22,
    14, 6,  64, 56, 48, 40, 32, 24, 16, 8,  57, 49, 41, 33, 25, 17, 9,  1,  59, 51, 43, 35,
    27, 19, 11, 3,  61, 53, 45, 37, 29, 21, 13, 5,  63, 55, 47, 39, 31, 23, 15, 7};

constexpr std::array<std::uint8_t, 64> kFinalPermutation = {
    40, 8,  48, 16, 56, 24, 64, 32, 39, 7,  47, 15, 55, 23, 63, 31, 38, 6,  46, 14, 54, 22,
    62, 30, 37, 5,  45, 13, 53, 21, 61, 29, 36, 4,  44, 12, 52, 20, 60, 28, 35, 3,  43, 11,
    51, 19, 59, 27, 34, 2,  42, 10, 50, 18, 58, 26, 33, 1,  41, 9,  49, 17, 57, 25};

constexpr std::array<std::uint8_t, 48> kExpansion = {
    32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
    16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};

constexpr std::array<std::uint8_t, 32> kRoundPermutation = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                                            26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                                            3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

constexpr std::array<std::uint8_t, 56> kPermutedChoice1 = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::array<std::uint8_t, 48> kPermutedChoice2 = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr std::array<std::uint8_t, 16> kKeyRotations = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// The eight S-boxes, each as four rows of sixteen.
constexpr std::array<std::array<std::uint8_t, 64>, 8> kSBoxes = {{
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11},
}};

// Picks bits of an inputBits-wide value in the order a table names them.
template <std::size_t N>
std::uint64_t Permute(std::uint64_t input, int inputBits, const std::array<std::uint8_t, N>& table) noexcept {
    std::uint64_t output = 0;
    for (const std::uint8_t position : table)
        output = (output << 1) | ((input >> (inputBits - position)) & 1U);
    return output;
}

std::uint64_t LoadBigEndian(std::span<const std::uint8_t, 8> bytes) noexcept {
    std::uint64_t value = 0;
    for (const std::uint8_t byte : bytes) value = (value << 8) | byte;
    return value;
}

void StoreBigEndian(std::uint64_t value, std::span<std::uint8_t, 8> bytes) noexcept {
    for (int i = 7; i >= 0; --i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
        value >>= 8;
    }
}

std::uint32_t Rotate28(std::uint32_t half, int count) noexcept {
    return ((half << count) | (half >> (28 - count))) & 0x0FFFFFFFU;
}

using RoundKeys = std::array<std::uint64_t, 16>;

// The sixteen 48-bit round keys; PC-1 drops the parity bit of every key byte. The caller wipes them.
RoundKeys MakeRoundKeys(std::span<const std::uint8_t, 8> key) noexcept {
    std::uint64_t permuted = Permute(LoadBigEndian(key), 64, kPermutedChoice1);
    auto c = static_cast<std::uint32_t>(permuted >> 28);
    auto d = static_cast<std::uint32_t>(permuted & 0x0FFFFFFFU);
    RoundKeys keys{};
    for (std::size_t round = 0; round < keys.size(); ++round) {
        c = Rotate28(c, kKeyRotations[round]);
        d = Rotate28(d, kKeyRotations[round]);
        keys[round] = Permute((static_cast<std::uint64_t>(c) << 28) | d, 56, kPermutedChoice2);
    }
    WipeValue(permuted);
    WipeValue(c);
    WipeValue(d);
    return keys;
}

// The cipher function f(R, K): expansion, key mixing, S-boxes, permutation P.
std::uint32_t Feistel(std::uint32_t right, std::uint64_t roundKey) noexcept {
    std::uint64_t mixed = Permute(right, 32, kExpansion) ^ roundKey;
    std::uint64_t substituted = 0;
    for (std::size_t box = 0; box < kSBoxes.size(); ++box) {
        const auto six = static_cast<unsigned>((mixed >> (42 - 6 * box)) & 0x3FU);
        const unsigned row = ((six >> 4) & 0x2U) | (six & 0x1U);
        const unsigned column = (six >> 1) & 0xFU;
        substituted = (substituted << 4) | kSBoxes[box][row * 16 + column];
    }
    const auto output = static_cast<std::uint32_t>(Permute(substituted, 32, kRoundPermutation));
    WipeValue(mixed);
    WipeValue(substituted);
    return output;
}

}  // namespace

void DesCryptBlock(DesDirection direction, std::span<const std::uint8_t, 8> key,
                   std::span<const std::uint8_t, 8> input, std::span<std::uint8_t, 8> output) noexcept {
    RoundKeys keys = MakeRoundKeys(key);
    const bool decrypt = direction == DesDirection::kDecrypt;
    std::uint64_t permuted = Permute(LoadBigEndian(input), 64, kInitialPermutation);
    auto left = static_cast<std::uint32_t>(permuted >> 32);
    auto right = static_cast<std::uint32_t>(permuted);
    for (std::size_t round = 0; round < keys.size(); ++round) {
        const std::uint32_t next = left ^ Feistel(right, keys[decrypt ? keys.size() - 1 - round : round]);
        left = right;
        right = next;
    }
    // The last round's halves go to the final permutation swapped (R16 L16).
    std::uint64_t preOutput = (static_cast<std::uint64_t>(right) << 32) | left;
    StoreBigEndian(Permute(preOutput, 64, kFinalPermutation), output);
    // What was derived from the key and the block goes with the call.
    WipeValue(keys);
    WipeValue(permuted);
    WipeValue(left);
    WipeValue(right);
    WipeValue(preOutput);
}

void TripleDesEdeBlock(DesDirection direction, std::span<const std::uint8_t, 16> key,
                       std::span<const std::uint8_t, 8> input, std::span<std::uint8_t, 8> output) noexcept {
    const std::span<const std::uint8_t, 8> k1 = key.first<8>();
    const std::span<const std::uint8_t, 8> k2 = key.last<8>();
    const bool decrypt = direction == DesDirection::kDecrypt;
    const DesDirection outer = decrypt ? DesDirection::kDecrypt : DesDirection::kEncrypt;
    const DesDirection inner = decrypt ? DesDirection::kEncrypt : DesDirection::kDecrypt;
    std::array<std::uint8_t, 8> first{};
    std::array<std::uint8_t, 8> second{};
    DesCryptBlock(outer, k1, input, first);
    DesCryptBlock(inner, k2, first, second);
    DesCryptBlock(outer, k1, second, output);
    WipeValue(first);
    WipeValue(second);
}

std::size_t EncryptBytes(std::span<const std::uint8_t> key, std::span<const std::uint8_t> input,
                         std::span<std::uint8_t> output) {
    if (key.size() != 8 && key.size() != 16) throw OvException(std::string(kBadKeyLength));
    const std::size_t blocks = (input.size() + kBlockSize - 1) / kBlockSize;
    const std::size_t outputSize = blocks * kBlockSize;
    // Refused up front so that nothing is written past the caller's storage.
    if (output.size() < outputSize)
        throw OvException("The output buffer of the password encryption is too small!");

    const auto encryptBlock = [&key](std::span<const std::uint8_t, 8> in, std::span<std::uint8_t, 8> out) {
        if (key.size() == 16) {
            TripleDesEdeBlock(DesDirection::kEncrypt, key.first<16>(), in, out);
        } else {
            DesCryptBlock(DesDirection::kEncrypt, key.first<8>(), in, out);
        }
    };
    const std::size_t whole = input.size() / kBlockSize;
    for (std::size_t i = 0; i < whole; ++i) {
        encryptBlock(input.subspan(i * kBlockSize).first<8>(), output.subspan(i * kBlockSize).first<8>());
    }
    const std::size_t rest = input.size() % kBlockSize;
    if (rest != 0) {
        std::array<std::uint8_t, kBlockSize> last{};
        std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(whole * kBlockSize), rest, last.begin());
        last[rest] = kPaddingMark;
        encryptBlock(last, output.subspan(whole * kBlockSize).first<8>());
        WipeValue(last);
    }
    return outputSize;
}

std::string BytesToHexText(std::span<const std::uint8_t> bytes) {
    static constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

std::string EncryptAccessPassword(std::string_view keyText, std::string_view password) {
    if (keyText.size() != 16 && keyText.size() != 32) throw OvException(std::string(kBadKeyTextLength));
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> plain;
    std::vector<std::uint8_t> encrypted;
    // The copies of the key and the password are wiped whatever happens; the encrypted bytes too,
    // once written as text.
    const WipeVectorAtExit wipeKey(key);
    const WipeVectorAtExit wipePlain(plain);
    const WipeVectorAtExit wipeEncrypted(encrypted);
    try {
        key.assign(keyText.begin(), keyText.end());
        plain.assign(password.begin(), password.end());
        encrypted.resize((plain.size() + kBlockSize - 1) / kBlockSize * kBlockSize);
    } catch (const std::bad_alloc&) {
        throw OvException(std::string(kNoMemory));
    }
    const std::size_t written = EncryptBytes(key, plain, encrypted);
    return BytesToHexText(std::span(encrypted).first(written));
}
