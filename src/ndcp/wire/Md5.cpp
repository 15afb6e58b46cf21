#include "ndcp/wire/Md5.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace {

constexpr std::size_t kBlockSize = 64;

// The sine-derived additive constants, one per step.
constexpr std::array<std::uint32_t, 64> kSine = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation amounts: four per round, repeated over its sixteen steps.
constexpr std::array<int, 16> kShift = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

// The message word each step reads.
constexpr std::size_t WordIndex(std::size_t step) {
    switch (step / 16) {
        case 0:
            return step % 16;
        case 1:
            return (5 * step + 1) % 16;
        case 2:
            return (3 * step + 5) % 16;
        default:
            return (7 * step) % 16;
    }
}

[[gnu::always_inline]] inline std::uint32_t LoadLittleEndian(const std::uint8_t* p) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t word;
        std::memcpy(&word, p, sizeof word);
        return word;
    } else {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
}

void StoreLittleEndian(std::uint32_t word, std::uint8_t* p) noexcept {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(word >> (8 * i));
}

// The four round functions, in forms that need the fewest operations.
template <std::size_t Round>
[[gnu::always_inline]] inline std::uint32_t Mix(std::uint32_t b, std::uint32_t c, std::uint32_t d) noexcept {
    if constexpr (Round == 0) return d ^ (b & (c ^ d));
    if constexpr (Round == 1) return c ^ (d & (b ^ c));
    if constexpr (Round == 2) return b ^ c ^ d;
    if constexpr (Round == 3) return c ^ (b | ~d);
}

// One step. The roles a, b, c, d rotate through the four state words: step i updates word
// (4 - i) mod 4, so the state never has to be shuffled.
template <std::size_t Step>
[[gnu::always_inline]] inline void DoStep(std::array<std::uint32_t, 4>& v,
                                          const std::array<std::uint32_t, 16>& x) noexcept {
    constexpr std::size_t ia = (4 - Step % 4) % 4;
    constexpr std::size_t ib = (ia + 1) % 4;
    constexpr std::size_t ic = (ia + 2) % 4;
    constexpr std::size_t id = (ia + 3) % 4;
    constexpr int shift = kShift[(Step / 16) * 4 + Step % 4];
    const std::uint32_t sum = v[ia] + Mix<Step / 16>(v[ib], v[ic], v[id]) + x[WordIndex(Step)] + kSine[Step];
    v[ia] = v[ib] + std::rotl(sum, shift);
}

template <std::size_t... Steps>
[[gnu::always_inline]] inline void AllSteps(std::array<std::uint32_t, 4>& v,
                                            const std::array<std::uint32_t, 16>& x,
                                            std::index_sequence<Steps...>) noexcept {
    (DoStep<Steps>(v, x), ...);
}

}  // namespace

Md5::Md5() noexcept : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

void Md5::Transform(const std::uint8_t* block) noexcept { TransformBlocks(block, 1); }

void Md5::TransformBlocks(const std::uint8_t* blocks, std::size_t count) noexcept {
    std::array<std::uint32_t, 4> state = state_;
    for (std::size_t n = 0; n < count; ++n, blocks += kBlockSize) {
        std::array<std::uint32_t, 16> x;
        for (std::size_t i = 0; i < 16; ++i) x[i] = LoadLittleEndian(blocks + 4 * i);
        std::array<std::uint32_t, 4> v = state;
        AllSteps(v, x, std::make_index_sequence<64>{});
        for (std::size_t i = 0; i < 4; ++i) state[i] += v[i];
    }
    state_ = state;
}

void Md5::Update(std::span<const std::uint8_t> data) noexcept {
    // An empty span may carry a null pointer, which memcpy must not be given.
    if (data.empty()) return;
    bitCount_ += static_cast<std::uint64_t>(data.size()) * 8;
    const std::uint8_t* p = data.data();
    std::size_t left = data.size();
    if (buffered_ > 0) {
        const std::size_t take = std::min(left, kBlockSize - buffered_);
        std::memcpy(buffer_.data() + buffered_, p, take);
        buffered_ += take;
        p += take;
        left -= take;
        if (buffered_ < kBlockSize) return;
        Transform(buffer_.data());
        buffered_ = 0;
    }
    const std::size_t whole = left / kBlockSize;
    if (whole > 0) {
        TransformBlocks(p, whole);
        p += whole * kBlockSize;
        left -= whole * kBlockSize;
    }
    if (left > 0) {
        std::memcpy(buffer_.data(), p, left);
        buffered_ = left;
    }
}

Md5::Digest Md5::Final() noexcept {
    // Padding: one 0x80 byte, zeros up to 56 bytes into a block, then the bit count (low byte first).
    const std::uint64_t bits = bitCount_;
    buffer_[buffered_++] = 0x80;
    if (buffered_ > kBlockSize - 8) {
        std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_), buffer_.end(), std::uint8_t{0});
        Transform(buffer_.data());
        buffered_ = 0;
    }
    std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_), buffer_.end() - 8, std::uint8_t{0});
    for (std::size_t i = 0; i < 8; ++i)
        buffer_[kBlockSize - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    Transform(buffer_.data());
    buffered_ = 0;

    Digest digest;
    for (std::size_t i = 0; i < 4; ++i) StoreLittleEndian(state_[i], digest.data() + 4 * i);
    return digest;
}

Md5::Digest Md5::Of(std::span<const std::uint8_t> data) noexcept {
    Md5 md5;
    md5.Update(data);
    return md5.Final();
}
