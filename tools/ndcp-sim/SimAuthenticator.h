#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ndcp-sim/SimRequest.h"

namespace ndcpsim {

using Authenticator = std::array<std::uint8_t, kAuthenticatorSize>;

// MD5 over the datagram with bytes 12 to 27 taken as zero, followed by the password bytes.
// The datagram must hold at least the header.
[[nodiscard]] Authenticator ComputeAuthenticator(std::span<const std::uint8_t> datagram,
                                                 std::string_view password);

// Checks the authenticator of one received datagram against password texts. Each distinct text is
// hashed once, so checking thousands of devices that share a password costs one digest.
class AuthenticatorCheck {
public:
    // The datagram must hold at least the header; it is copied.
    explicit AuthenticatorCheck(std::span<const std::uint8_t> datagram);

    [[nodiscard]] bool Matches(std::string_view password);

private:
    std::vector<std::uint8_t> datagram_;
    Authenticator received_{};
    std::map<std::string, bool, std::less<>> results_;
};

}  // namespace ndcpsim
