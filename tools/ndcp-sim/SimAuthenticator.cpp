#include "ndcp-sim/SimAuthenticator.h"

#include <algorithm>

#include "ndcp/wire/Md5.h"

namespace ndcpsim {
namespace {

[[nodiscard]] std::span<const std::uint8_t> PasswordBytes(std::string_view password) noexcept {
    return {reinterpret_cast<const std::uint8_t*>(password.data()), password.size()};
}

// The datagram's digest input: bytes 12 to 27 zeroed.
[[nodiscard]] std::vector<std::uint8_t> ZeroedCopy(std::span<const std::uint8_t> datagram) {
    std::vector<std::uint8_t> copy(datagram.begin(), datagram.end());
    std::fill_n(copy.begin() + kOffsetAuthenticator, kAuthenticatorSize, 0);
    return copy;
}

[[nodiscard]] Authenticator DigestOf(std::span<const std::uint8_t> zeroed, std::string_view password) {
    Md5 md5;
    md5.Update(zeroed);
    md5.Update(PasswordBytes(password));
    return md5.Final();
}

}  // namespace

Authenticator ComputeAuthenticator(std::span<const std::uint8_t> datagram, std::string_view password) {
    return DigestOf(ZeroedCopy(datagram), password);
}

AuthenticatorCheck::AuthenticatorCheck(std::span<const std::uint8_t> datagram)
    : datagram_(ZeroedCopy(datagram)) {
    std::copy_n(datagram.begin() + kOffsetAuthenticator, kAuthenticatorSize, received_.begin());
}

bool AuthenticatorCheck::Matches(std::string_view password) {
    const auto found = results_.find(password);
    if (found != results_.end()) return found->second;
    const bool matches = DigestOf(datagram_, password) == received_;
    results_.emplace(std::string(password), matches);
    return matches;
}

}  // namespace ndcpsim
