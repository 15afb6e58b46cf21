#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A byte string with the hexadecimal text forms of NDCP values.
class OctetStr {
public:
    OctetStr() = default;
    explicit OctetStr(std::span<const std::uint8_t> bytes);

    // The hexadecimal text rule: blanks removed; with an odd number of characters the first one
    // alone forms the first byte; then each pair forms a byte, first character high. Characters
    // other than 0-9, A-F and a-f count as 0.
    [[nodiscard]] static OctetStr FromHexString(std::string_view text);

    void Append(std::uint8_t byte) { bytes_.push_back(byte); }
    [[nodiscard]] std::size_t Length() const noexcept { return bytes_.size(); }
    // Throws OvException (index out of range) for a position at or past Length().
    [[nodiscard]] std::uint8_t At(std::size_t index) const;
    [[nodiscard]] std::span<const std::uint8_t> Bytes() const noexcept { return bytes_; }

    // Two upper-case hexadecimal digits per byte, no separators.
    [[nodiscard]] std::string ToHexString() const;
    // The bytes as characters up to the first zero byte.
    [[nodiscard]] std::string ToPrintable() const;

private:
    std::vector<std::uint8_t> bytes_;
};
