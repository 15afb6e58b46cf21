#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "ndcp-sim/SimAuthenticator.h"
#include "ndcp-sim/SimDevice.h"
#include "ndcp-sim/SimMalformed.h"
#include "ndcp-sim/SimRequest.h"

namespace ndcpsim {

// How the devices behave beyond the protocol.
struct ResponderSettings {
    // Answer every request addressed to a device with this status (1 to 15) and no values, without
    // checking the authenticator.
    std::optional<std::uint8_t> forcedStatus;
    // Send every genuine answer twice.
    bool twice = false;
    // Put the five values of a Discover answer in a random order.
    bool shuffle = false;
    // Variants sent ahead of each genuine answer.
    std::vector<MalformedKind> malformed;
    std::uint32_t seed = 1;
};

// Which password text the request's authenticator was made with, for one device.
enum class AuthResult { kNone, kDefault, kAccess };

[[nodiscard]] std::string_view AuthResultName(AuthResult result) noexcept;

// One datagram a device sends back.
struct Outgoing {
    std::size_t device = 0;  // index into the responder's devices
    std::uint8_t status = 0;
    AuthResult auth = AuthResult::kNone;
    // "answer", "twice" or the name of the malformed kind.
    std::string_view kind;
    std::vector<std::uint8_t> datagram;
};

// A change a Set made to a device.
struct DeviceChange {
    std::size_t device = 0;
    Ipv4Address ip{};
    Ipv4Address netmask{};
};

struct Reply {
    std::vector<Outgoing> datagrams;
    std::vector<DeviceChange> changes;
};

// The devices' side of the protocol. A device answers a request addressed to it: a Discover whose
// target MAC is FF:FF:FF:FF:FF:FF or its own, any other command when the target is its own MAC.
//   Discover: the default password or the device's encrypted access password -> status 0 and its
//             five values; any other authenticator -> no answer.
//   Get:      same passwords -> status 0 and the values of the requested identifiers it knows, in
//             request order, as many as fit in 8912 bytes; otherwise status 1.
//   Set:      only the encrypted access password, else status 1. Every element must be an IP
//             address (3) or netmask (4) of 4 bytes, else status 2 and nothing changes; on
//             success status 0 and the new IP address and netmask.
//   other:    status 3.
class SimResponder {
public:
    SimResponder(std::vector<SimDevice> devices, ResponderSettings settings);

    // Handles one parsed request; auth checks the datagram the request came from.
    [[nodiscard]] Reply Handle(const SimRequest& request, AuthenticatorCheck& auth);

    // The best authentication of the request by any device: default, else some device's access
    // password, else none.
    [[nodiscard]] AuthResult BestAuth(AuthenticatorCheck& auth) const;

    [[nodiscard]] const std::vector<SimDevice>& Devices() const noexcept { return devices_; }

private:
    struct Genuine {
        std::uint8_t status = 0;
        AuthResult auth = AuthResult::kNone;
        std::vector<std::uint8_t> area;
        std::string_view password;
    };

    [[nodiscard]] std::optional<Genuine> Answer(const SimRequest& request, std::size_t index,
                                                AuthenticatorCheck& auth, Reply& reply);
    [[nodiscard]] Genuine AnswerSet(const SimRequest& request, std::size_t index, Reply& reply);
    [[nodiscard]] std::vector<std::uint8_t> AnswerGet(const SimRequest& request,
                                                      const SimDevice& device) const;
    [[nodiscard]] std::vector<std::uint8_t> DiscoveryAreaOf(const SimDevice& device);
    void Emit(const SimRequest& request, std::size_t index, const Genuine& genuine, Reply& reply) const;

    std::vector<SimDevice> devices_;
    ResponderSettings settings_;
    std::mt19937 random_;
};

}  // namespace ndcpsim
