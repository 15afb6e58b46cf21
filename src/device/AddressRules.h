#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The rules a Set IP applies to the address and netmask the user entered.

inline constexpr const char* kIncompleteIpAddress = "Please enter all four numbers of the IP address!";
inline constexpr const char* kIncompleteNetmask = "Please enter all four numbers of the netmask!";
inline constexpr const char* kAddressNumberOutOfRange = "Please enter a number between 0 and 255!";
inline constexpr const char* kNetmaskNotContiguous =
    "The netmask must be a run of one bits followed by zero bits!";

enum class AddressKind { IpAddress, Netmask };

// The 32 bits of a dotted address, first number in the top byte. The text must be four decimal
// numbers from 0 to 255 separated by "."; leading zeros do not make a number octal. Raises
// OvException with kIncompleteIpAddress or kIncompleteNetmask for a missing number,
// kAddressNumberOutOfRange for a number above 255 or a piece that is not a number, and
// kNetmaskNotContiguous for a netmask whose bits are not ones followed by zeros.
[[nodiscard]] std::uint32_t CheckedAddress(std::string_view dotted, AddressKind kind);

// The 32 bits of a dotted address as CheckedAddress reads it, or none where it would raise.
[[nodiscard]] std::optional<std::uint32_t> ParsedAddress(std::string_view dotted);

// Four decimal numbers without leading zeros, the form the value codec reads (a leading zero would
// make it read the number as octal, and "08" as no address at all, which it sends as
// 255.255.255.255).
[[nodiscard]] std::string AddressText(std::uint32_t address);

// The address checked by CheckedAddress and written by AddressText.
[[nodiscard]] std::string CheckedAddressText(std::string_view dotted, AddressKind kind);

// Ones from the top bit down, then zeros only (all ones and all zeros included).
[[nodiscard]] bool IsContiguousMask(std::uint32_t mask) noexcept;
