#include "testkit/FakeDevices.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "device/DeviceProfile.h"
#include "device/SetIPRequest.h"
#include "ndcp/wire/Md5.h"
#include "ndcp/wire/NDCPPacket.h"
#include "testkit/AnswerBuilder.h"

namespace {

constexpr std::size_t kHeaderSize = 36;
constexpr std::size_t kAuthenticatorSize = 16;

MacBytes TargetMac(const std::vector<std::uint8_t>& request) {
    MacBytes mac{};
    std::copy_n(request.begin() + kOffsetTargetMac, mac.size(), mac.begin());
    return mac;
}

// Whether the request's authenticator was made with the password text.
bool Authenticated(const std::vector<std::uint8_t>& request, const std::string& password) {
    std::vector<std::uint8_t> copy = request;
    std::fill_n(copy.begin() + kOffsetAuthenticator, kAuthenticatorSize, 0);
    copy.insert(copy.end(), password.begin(), password.end());
    const Md5::Digest digest = Md5::Of(copy);
    return std::equal(digest.begin(), digest.end(), request.begin() + kOffsetAuthenticator);
}

// The dotted address of the 4-byte element of that identifier in the request's elements.
std::optional<std::string> AddressElement(const std::vector<std::uint8_t>& request, std::uint8_t id) {
    for (std::size_t pos = kHeaderSize; pos + 3 <= request.size();) {
        const std::size_t length = static_cast<std::size_t>(request[pos + 1] << 8 | request[pos + 2]);
        if (length < 3 || pos + length > request.size()) return std::nullopt;
        if (request[pos] == id && length == 7) {
            return std::to_string(request[pos + 3]) + "." + std::to_string(request[pos + 4]) + "." +
                   std::to_string(request[pos + 5]) + "." + std::to_string(request[pos + 6]);
        }
        pos += length;
    }
    return std::nullopt;
}

}  // namespace

FakeDevices::FakeDevices(FakeNetwork& network, std::vector<FakeDevice> devices)
    : network_(network), devices_(std::move(devices)), setApplied_(devices_.size(), false) {
    network_.SetHandler([this](FakeNetwork&, const std::vector<std::uint8_t>& request) { Answer(request); });
}

void FakeDevices::Answer(const std::vector<std::uint8_t>& request) {
    const unsigned int adapter = network_.SentThrough().back().index;
    const MacBytes target = TargetMac(request);
    const std::uint8_t command = request[kOffsetCommand];
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        FakeDevice& device = devices_[i];
        const auto mac = MacTextToBytes(device.mac);
        if (device.adapterIndex != adapter || !mac) continue;
        if (command == kDiscoverCommand && (target == *mac || *MacTextToBytes(kBroadcastMac) == target)) {
            if (setApplied_[i] && !device.answersDiscoverAfterSet) continue;
            network_.ReplyOn(adapter, BuildDiscoveryAnswer(request[kOffsetSequence], *mac, device.model,
                                                           device.name, device.ip, device.netmask));
        } else if (command == kSetCommand && target == *mac) {
            setApplied_[i] = true;
            AnswerSet(device, request);
        }
    }
}

void FakeDevices::AnswerSet(FakeDevice& device, const std::vector<std::uint8_t>& request) {
    ++setsReceived_;
    const bool accepted = Authenticated(request, SetIPPassword(device.accessPassword));
    const auto ip = AddressElement(request, kIpAddressId);
    const auto netmask = AddressElement(request, kNetmaskId);
    if (accepted && device.appliesSet && ip && netmask) {
        device.ip = *ip;
        device.netmask = *netmask;
    }
    if (!device.answersSet) return;
    auto answer = BuildAnswer(request[kOffsetSequence], accepted ? 0 : 1, *MacTextToBytes(device.mac), {});
    answer[kOffsetCommand] = kSetCommand;
    const unsigned int adapter = device.adapterIndex;
    if (device.setDelayMs <= 0) {
        network_.ReplyOn(adapter, answer);
        return;
    }
    network_.Time().After(std::chrono::milliseconds(device.setDelayMs),
                          [this, adapter, answer] { network_.ReplyOn(adapter, answer); });
}
