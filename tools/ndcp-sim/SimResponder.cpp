#include "ndcp-sim/SimResponder.h"

#include <algorithm>
#include <array>
#include <utility>

#include "ndcp-sim/SimAnswer.h"

namespace ndcpsim {
namespace {

[[nodiscard]] bool Addressed(const SimRequest& request, const SimDevice& device) noexcept {
    if (request.target == device.mac) return true;
    return request.command == kDiscover && request.target == kBroadcastMac;
}

// The default password counts only where allowDefault says so; the access password always does.
[[nodiscard]] AuthResult Authenticate(const SimDevice& device, AuthenticatorCheck& auth, bool allowDefault) {
    if (allowDefault && auth.Matches(kDefaultPassword)) return AuthResult::kDefault;
    if (auth.Matches(device.encryptedPassword)) return AuthResult::kAccess;
    return AuthResult::kNone;
}

[[nodiscard]] std::string_view PasswordOf(AuthResult result, const SimDevice& device) noexcept {
    switch (result) {
        case AuthResult::kDefault:
            return kDefaultPassword;
        case AuthResult::kAccess:
            return device.encryptedPassword;
        case AuthResult::kNone:
            break;
    }
    return {};
}

[[nodiscard]] bool SettableElement(const SimElement& element) noexcept {
    return (element.id == kIpAddressId || element.id == kNetmaskId) && element.value.size() == 4;
}

[[nodiscard]] Ipv4Address ToAddress(std::span<const std::uint8_t> value) noexcept {
    Ipv4Address address{};
    std::copy_n(value.begin(), address.size(), address.begin());
    return address;
}

}  // namespace

std::string_view AuthResultName(AuthResult result) noexcept {
    switch (result) {
        case AuthResult::kNone:
            return "none";
        case AuthResult::kDefault:
            return "default";
        case AuthResult::kAccess:
            return "access";
    }
    return "none";
}

SimResponder::SimResponder(std::vector<SimDevice> devices, ResponderSettings settings)
    : devices_(std::move(devices)), settings_(std::move(settings)), random_(settings_.seed) {}

Reply SimResponder::Handle(const SimRequest& request, AuthenticatorCheck& auth) {
    Reply reply;
    for (std::size_t index = 0; index < devices_.size(); ++index) {
        if (!Addressed(request, devices_[index])) continue;
        if (const auto genuine = Answer(request, index, auth, reply)) Emit(request, index, *genuine, reply);
    }
    return reply;
}

AuthResult SimResponder::BestAuth(AuthenticatorCheck& auth) const {
    if (auth.Matches(kDefaultPassword)) return AuthResult::kDefault;
    const bool any = std::any_of(devices_.begin(), devices_.end(), [&auth](const SimDevice& device) {
        return auth.Matches(device.encryptedPassword);
    });
    return any ? AuthResult::kAccess : AuthResult::kNone;
}

std::optional<SimResponder::Genuine> SimResponder::Answer(const SimRequest& request, std::size_t index,
                                                          AuthenticatorCheck& auth, Reply& reply) {
    const SimDevice& device = devices_[index];
    if (settings_.forcedStatus) return Genuine{*settings_.forcedStatus, AuthResult::kNone, {}, {}};
    switch (request.command) {
        case kDiscover: {
            const AuthResult result = Authenticate(device, auth, true);
            if (result == AuthResult::kNone) return std::nullopt;
            return Genuine{kStatusOk, result, DiscoveryAreaOf(device), PasswordOf(result, device)};
        }
        case kGet: {
            const AuthResult result = Authenticate(device, auth, true);
            if (result == AuthResult::kNone) return Genuine{kStatusPasswordError, result, {}, {}};
            return Genuine{kStatusOk, result, AnswerGet(request, device), PasswordOf(result, device)};
        }
        case kSet: {
            if (Authenticate(device, auth, false) == AuthResult::kNone) {
                return Genuine{kStatusPasswordError, AuthResult::kNone, {}, {}};
            }
            return AnswerSet(request, index, reply);
        }
        default:
            return Genuine{kStatusBadCommand, AuthResult::kNone, {}, {}};
    }
}

SimResponder::Genuine SimResponder::AnswerSet(const SimRequest& request, std::size_t index, Reply& reply) {
    SimDevice& device = devices_[index];
    const Genuine refused{kStatusNotDone, AuthResult::kAccess, {}, device.encryptedPassword};
    if (!std::all_of(request.elements.begin(), request.elements.end(), SettableElement)) return refused;
    for (const SimElement& element : request.elements) {
        (element.id == kIpAddressId ? device.ip : device.netmask) = ToAddress(element.value);
    }
    reply.changes.push_back({index, device.ip, device.netmask});
    std::vector<std::uint8_t> area;
    AppendElement(area, kIpAddressId, device.ip);
    AppendElement(area, kNetmaskId, device.netmask);
    return Genuine{kStatusOk, AuthResult::kAccess, std::move(area), device.encryptedPassword};
}

std::vector<std::uint8_t> SimResponder::AnswerGet(const SimRequest& request, const SimDevice& device) const {
    std::vector<std::uint8_t> area;
    for (const SimElement& element : request.elements) {
        const auto value = DeviceValue(device, element.id);
        if (!value) continue;
        if (kHeaderSize + area.size() + kElementHeaderSize + value->size() > kMaxAnswerSize) break;
        AppendElement(area, element.id, *value);
    }
    return area;
}

std::vector<std::uint8_t> SimResponder::DiscoveryAreaOf(const SimDevice& device) {
    std::array<std::uint8_t, kDiscoveryPartIds.size()> order = kDiscoveryPartIds;
    if (settings_.shuffle) std::shuffle(order.begin(), order.end(), random_);
    return DiscoveryArea(device, order);
}

void SimResponder::Emit(const SimRequest& request, std::size_t index, const Genuine& genuine,
                        Reply& reply) const {
    const SimDevice& device = devices_[index];
    const AnswerHeader header{request.command, request.sequence, genuine.status, device.mac,
                              genuine.password};
    std::vector<std::uint8_t> answer = BuildAnswer(header, genuine.area);
    for (const MalformedKind kind : settings_.malformed) {
        reply.datagrams.push_back({index, genuine.status, genuine.auth, MalformedKindName(kind),
                                   BuildMalformed(kind, header, device, answer)});
    }
    if (settings_.twice) reply.datagrams.push_back({index, genuine.status, genuine.auth, "answer", answer});
    reply.datagrams.push_back(
        {index, genuine.status, genuine.auth, settings_.twice ? "twice" : "answer", std::move(answer)});
}

}  // namespace ndcpsim
