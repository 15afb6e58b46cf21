#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// MD5 message digest (RFC 1321).
class Md5 {
public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5() noexcept;
    void Update(std::span<const std::uint8_t> data) noexcept;
    // Finishes the digest; the object must not be updated afterwards.
    [[nodiscard]] Digest Final() noexcept;

    [[nodiscard]] static Digest Of(std::span<const std::uint8_t> data) noexcept;

private:
    void Transform(const std::uint8_t* block) noexcept;
    // Runs the compression over count consecutive 64-byte blocks read in place.
    void TransformBlocks(const std::uint8_t* blocks, std::size_t count) noexcept;

    std::array<std::uint32_t, 4> state_;
    std::uint64_t bitCount_ = 0;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
};
