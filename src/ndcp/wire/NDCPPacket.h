#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vars/LocaleSettings.h"

class OvNDCPVarList;

// The datagram format: a 36-byte header, then a variable area of elements.
inline constexpr std::array<std::uint8_t, 4> kNDCPSignature = {0x09, 0x2B, 0x13, 0x38};
inline constexpr std::size_t kNDCPHeaderSize = 36;
inline constexpr std::size_t kRequestBufferSize = 8192;
inline constexpr std::size_t kReceiveBufferSize = 8912;

enum NDCPCommand : std::uint8_t { kDiscoverCommand = 1, kSetCommand = 3, kGetCommand = 5 };

// Header offsets.
inline constexpr std::size_t kOffsetCommand = 4;
inline constexpr std::size_t kOffsetSequence = 5;
inline constexpr std::size_t kOffsetTotalLength = 6;
inline constexpr std::size_t kOffsetControl = 10;
inline constexpr std::size_t kOffsetAuthenticator = 12;
inline constexpr std::size_t kOffsetTargetMac = 28;
inline constexpr std::size_t kOffsetFixedByte = 34;

using MacBytes = std::array<std::uint8_t, 6>;

// A target MAC text (hexadecimal digits, blanks ignored) as six bytes; none unless exactly six.
[[nodiscard]] std::optional<MacBytes> MacTextToBytes(std::string_view text);
// Twelve upper-case hexadecimal digits.
[[nodiscard]] std::string MacBytesToText(const MacBytes& mac);

// Builds a request datagram with its authenticator: MD5 over the datagram (authenticator zero)
// followed by the password bytes. Raises OvException: kBadMacAddress, kBadCommandType, the value
// encoder's code, and code 0 when the datagram and the password would not fit the request buffer.
[[nodiscard]] std::vector<std::uint8_t> BuildRequest(std::string_view targetMac, std::string_view password,
                                                     const OvNDCPVarList& vars, std::uint8_t command,
                                                     std::uint8_t sequence,
                                                     const LocaleSettings& locale = {});

// The checks of an answer that need nothing but its bytes: at least 36 and at most 8912 bytes,
// the signature, and a total length equal to the size.
[[nodiscard]] bool AnswerHeaderValid(std::span<const std::uint8_t> datagram) noexcept;

// Fields of an answer that passed AnswerHeaderValid.
[[nodiscard]] std::uint8_t AnswerSequence(std::span<const std::uint8_t> datagram) noexcept;
[[nodiscard]] MacBytes AnswerTargetMac(std::span<const std::uint8_t> datagram) noexcept;
[[nodiscard]] std::uint8_t AnswerStatus(std::span<const std::uint8_t> datagram) noexcept;
// The result code of an answer's status (its control byte's low four bits): 0 success, 1 a wrong
// password, 2 not done, 3 an unknown command, anything else an unknown error.
[[nodiscard]] int AnswerStatusCode(std::uint8_t status) noexcept;

// The outcome of an accepted answer to a request of the command, decoding its variable area into
// vars when the status is 0 and the command is not Set. Returns 0 or a failure code; never raises.
// A decoded value that its option list cannot read counts as a value of the wrong width: a Get
// reports kBadPacket, a Discover gives such a part the empty text.
[[nodiscard]] int DecodeAnswer(std::span<const std::uint8_t> datagram, std::uint8_t command,
                               OvNDCPVarList& vars, const LocaleSettings& locale = {});
