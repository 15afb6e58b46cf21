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
inline constexpr const char* kAddressBeginsWithZero =
    "An IP address cannot begin with 0: such an address stands for this network, not for a device!";
inline constexpr const char* kAddressIsLoopback =
    "An IP address cannot begin with 127: such an address is a device's own loopback address, which "
    "nothing else reaches!";
inline constexpr const char* kAddressIsMulticastOrReserved =
    "An IP address cannot begin with a number from 224 to 255: such an address is a multicast or "
    "reserved address, not a device's!";
inline constexpr const char* kNetmaskAllZeros =
    "The netmask cannot be 0.0.0.0: the device would take every address for its own network!";
inline constexpr const char* kNetmaskAllOnes =
    "The netmask cannot be 255.255.255.255: the device would share its network with nothing!";

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

// Why a Set IP must not send the address and netmask entered, and which of the eight numbers to
// correct: the address's are fields 0 to 3, the netmask's 4 to 7, each from its first number.
struct AddressRefusal {
    std::string message;
    int field = 0;

    friend bool operator==(const AddressRefusal&, const AddressRefusal&) = default;
};
inline constexpr int kNetmaskFirstField = 4;

// The first reason, in this order, that would leave the device unreachable or the request
// unsendable, or none: the address incomplete or a number above 255; the address beginning with
// 0, 127 or 224 to 255; the netmask incomplete, a number above 255, not a run of one bits, all
// zeros or all ones; the address being the network's own address (host part all zeros) or its
// broadcast address (host part all ones) under that netmask.
[[nodiscard]] std::optional<AddressRefusal> SetIPRefusal(std::string_view address, std::string_view netmask);
