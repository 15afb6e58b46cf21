#include "device/PasswordCipher.h"

#include <algorithm>
#include <array>
#include <bit>
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

// Picks bits of an inputBits-wide value in the order a table names them. Used only to build the
// lookup tables below at compile time, so the standard's tables stay the one source of the cipher.
template <std::size_t N>
constexpr std::uint64_t Permute(std::uint64_t input, int inputBits,
                                const std::array<std::uint8_t, N>& table) noexcept {
    std::uint64_t output = 0;
    for (const std::uint8_t position : table)
        output = (output << 1) | ((input >> (inputBits - position)) & 1U);
    return output;
}

// A bit permutation as lookup tables: the input is cut into chunks of ChunkBits bits, each chunk
// looks up its permuted bits, and the lookups are or-ed together.
template <int InputBits, int ChunkBits>
class ChunkedPermutation {
public:
    template <std::size_t N>
    constexpr explicit ChunkedPermutation(const std::array<std::uint8_t, N>& table) {
        for (int chunk = 0; chunk < kChunks; ++chunk) {
            for (std::uint64_t value = 0; value < kValues; ++value) {
                tables_[chunk][value] = Permute(value << Shift(chunk), InputBits, table);
            }
        }
    }

    [[nodiscard]] constexpr std::uint64_t operator()(std::uint64_t input) const noexcept {
        std::uint64_t output = 0;
        for (int chunk = 0; chunk < kChunks; ++chunk) {
            output |= tables_[chunk][(input >> Shift(chunk)) & (kValues - 1)];
        }
        return output;
    }

private:
    static_assert(InputBits % ChunkBits == 0);
    static constexpr int kChunks = InputBits / ChunkBits;
    static constexpr std::uint64_t kValues = std::uint64_t{1} << ChunkBits;
    // The first chunk holds the most significant bits.
    static constexpr int Shift(int chunk) noexcept { return InputBits - (chunk + 1) * ChunkBits; }

    std::array<std::array<std::uint64_t, kValues>, kChunks> tables_{};
};

// The block permutations run once per block (a byte a lookup), the key permutations once per key
// (a nibble a lookup, smaller tables).
constexpr ChunkedPermutation<64, 8> kInitialLookup(kInitialPermutation);
constexpr ChunkedPermutation<64, 8> kFinalLookup(kFinalPermutation);
constexpr ChunkedPermutation<64, 4> kChoice1Lookup(kPermutedChoice1);
constexpr ChunkedPermutation<56, 4> kChoice2Lookup(kPermutedChoice2);

// The expansion E gives S-box `box` the bits 4*box .. 4*box+5 of the right half (counting from 1
// at its most significant bit, bit 0 being bit 32). Rotated right by 27, the half holds the groups
// of boxes 0, 6, 4 and 2 in its bytes from the lowest up; rotated right by 23, those of boxes 1, 7,
// 5 and 3. A round thus needs two rotations and eight byte-sized lookups, and the round keys are
// laid out the same way.
constexpr int kEvenRotation = 27;
constexpr int kOddRotation = 23;

// Where a box's six bits lie in its rotated word: the lowest byte for boxes 0 and 1, the highest
// for 2 and 3, and so on down.
constexpr int GroupShift(std::size_t box) noexcept { return static_cast<int>((32 - 8 * (box / 2)) % 32); }

// For each box and each of its 64 inputs, the box's four output bits put through the permutation
// P: the round function is then the exclusive or of eight lookups.
using SpTables = std::array<std::array<std::uint32_t, 64>, 8>;

constexpr SpTables MakeSpTables() noexcept {
    SpTables tables{};
    for (std::size_t box = 0; box < tables.size(); ++box) {
        for (unsigned six = 0; six < 64; ++six) {
            const unsigned row = ((six >> 4) & 0x2U) | (six & 0x1U);
            const unsigned column = (six >> 1) & 0xFU;
            const std::uint64_t nibble = std::uint64_t{kSBoxes[box][row * 16 + column]} << (28 - 4 * box);
            tables[box][six] = static_cast<std::uint32_t>(Permute(nibble, 32, kRoundPermutation));
        }
    }
    return tables;
}

constexpr SpTables kSpTables = MakeSpTables();

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

// The sixteen 48-bit round keys of one key, each as two words: the six key bits of every box at
// the place the box's bits of the rotated right half take (see kEvenRotation).
struct KeySchedule {
    std::array<std::uint32_t, 16> even{};
    std::array<std::uint32_t, 16> odd{};
};

// PC-1 drops the parity bit of every key byte. The caller wipes the schedule.
KeySchedule MakeKeySchedule(std::span<const std::uint8_t, 8> key) noexcept {
    std::uint64_t permuted = kChoice1Lookup(LoadBigEndian(key));
    auto c = static_cast<std::uint32_t>(permuted >> 28);
    auto d = static_cast<std::uint32_t>(permuted & 0x0FFFFFFFU);
    std::uint64_t roundKey = 0;
    KeySchedule schedule;
    for (std::size_t round = 0; round < kKeyRotations.size(); ++round) {
        c = Rotate28(c, kKeyRotations[round]);
        d = Rotate28(d, kKeyRotations[round]);
        roundKey = kChoice2Lookup((static_cast<std::uint64_t>(c) << 28) | d);
        for (std::size_t box = 0; box < 8; ++box) {
            const auto six = static_cast<std::uint32_t>((roundKey >> (42 - 6 * box)) & 0x3FU);
            (box % 2 == 0 ? schedule.even : schedule.odd)[round] |= six << GroupShift(box);
        }
    }
    WipeValue(permuted);
    WipeValue(c);
    WipeValue(d);
    WipeValue(roundKey);
    return schedule;
}

// The cipher function f(R, K): expansion and key mixing on the rotated half, then the S-boxes and
// P through the combined tables.
inline std::uint32_t Feistel(std::uint32_t right, std::uint32_t evenKey, std::uint32_t oddKey) noexcept {
    std::uint32_t even = std::rotr(right, kEvenRotation) ^ evenKey;
    std::uint32_t odd = std::rotr(right, kOddRotation) ^ oddKey;
    const std::uint32_t output = kSpTables[0][even & 0x3FU] ^ kSpTables[6][(even >> 8) & 0x3FU] ^
                                 kSpTables[4][(even >> 16) & 0x3FU] ^ kSpTables[2][(even >> 24) & 0x3FU] ^
                                 kSpTables[1][odd & 0x3FU] ^ kSpTables[7][(odd >> 8) & 0x3FU] ^
                                 kSpTables[5][(odd >> 16) & 0x3FU] ^ kSpTables[3][(odd >> 24) & 0x3FU];
    WipeValue(even);
    WipeValue(odd);
    return output;
}

// The two halves of a block between the initial and the final permutation.
struct Halves {
    std::uint32_t left;
    std::uint32_t right;
};

Halves InitialPermutation(std::span<const std::uint8_t, 8> input) noexcept {
    std::uint64_t permuted = kInitialLookup(LoadBigEndian(input));
    const Halves halves{static_cast<std::uint32_t>(permuted >> 32), static_cast<std::uint32_t>(permuted)};
    WipeValue(permuted);
    return halves;
}

// The last round's halves go to the final permutation swapped (R16 L16).
void FinalPermutation(const Halves& halves, std::span<std::uint8_t, 8> output) noexcept {
    std::uint64_t preOutput = (static_cast<std::uint64_t>(halves.right) << 32) | halves.left;
    StoreBigEndian(kFinalLookup(preOutput), output);
    WipeValue(preOutput);
}

// The sixteen rounds, the round keys in reverse order for decryption. The result is ready for the
// final permutation, or, as the input of a next DES, for its rounds: the final permutation and the
// next initial one cancel out, which leaves the swap of the halves.
Halves Rounds(const Halves& halves, const KeySchedule& schedule, DesDirection direction) noexcept {
    std::uint32_t left = halves.left;
    std::uint32_t right = halves.right;
    const auto round = [&](std::size_t index) {
        const std::uint32_t next = left ^ Feistel(right, schedule.even[index], schedule.odd[index]);
        left = right;
        right = next;
    };
    if (direction == DesDirection::kDecrypt) {
        for (std::size_t index = schedule.even.size(); index-- > 0;) round(index);
    } else {
        for (std::size_t index = 0; index < schedule.even.size(); ++index) round(index);
    }
    const Halves swapped{right, left};
    WipeValue(left);
    WipeValue(right);
    return swapped;
}

// Swaps back what Rounds swapped, for the final permutation.
Halves Unswapped(const Halves& halves) noexcept { return {halves.right, halves.left}; }

// What was derived from the key and the block goes with the call; the caller wipes the schedule.
void DesWithSchedule(DesDirection direction, const KeySchedule& schedule,
                     std::span<const std::uint8_t, 8> input, std::span<std::uint8_t, 8> output) noexcept {
    Halves halves = Unswapped(Rounds(InitialPermutation(input), schedule, direction));
    FinalPermutation(halves, output);
    WipeValue(halves);
}

// Two-key triple DES with the schedules of both keys: one initial and one final permutation
// around the 48 rounds.
void TripleDesWithSchedules(DesDirection direction, const KeySchedule& first, const KeySchedule& second,
                            std::span<const std::uint8_t, 8> input,
                            std::span<std::uint8_t, 8> output) noexcept {
    const bool decrypt = direction == DesDirection::kDecrypt;
    const DesDirection outer = decrypt ? DesDirection::kDecrypt : DesDirection::kEncrypt;
    const DesDirection inner = decrypt ? DesDirection::kEncrypt : DesDirection::kDecrypt;
    Halves halves = InitialPermutation(input);
    halves = Rounds(halves, first, outer);
    halves = Rounds(halves, second, inner);
    halves = Rounds(halves, first, outer);
    halves = Unswapped(halves);
    FinalPermutation(halves, output);
    WipeValue(halves);
}

}  // namespace

void DesCryptBlock(DesDirection direction, std::span<const std::uint8_t, 8> key,
                   std::span<const std::uint8_t, 8> input, std::span<std::uint8_t, 8> output) noexcept {
    KeySchedule schedule = MakeKeySchedule(key);
    DesWithSchedule(direction, schedule, input, output);
    WipeValue(schedule);
}

void TripleDesEdeBlock(DesDirection direction, std::span<const std::uint8_t, 16> key,
                       std::span<const std::uint8_t, 8> input, std::span<std::uint8_t, 8> output) noexcept {
    KeySchedule first = MakeKeySchedule(key.first<8>());
    KeySchedule second = MakeKeySchedule(key.last<8>());
    TripleDesWithSchedules(direction, first, second, input, output);
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

    // The key schedules are worked out once for all the blocks, and wiped after them.
    KeySchedule first = MakeKeySchedule(key.first<8>());
    KeySchedule second = key.size() == 16 ? MakeKeySchedule(key.subspan<8, 8>()) : KeySchedule{};
    const auto encryptBlock = [&](std::span<const std::uint8_t, 8> in, std::span<std::uint8_t, 8> out) {
        if (key.size() == 16) {
            TripleDesWithSchedules(DesDirection::kEncrypt, first, second, in, out);
        } else {
            DesWithSchedule(DesDirection::kEncrypt, first, in, out);
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
    WipeValue(first);
    WipeValue(second);
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
