#include "device/Reachability.h"

#include "device/AddressRules.h"
#include "device/DeviceProfile.h"

namespace {

constexpr std::string_view kNoAdapter = "No network adapter is up with an IPv4 address.";

std::string FailuresText(const std::vector<AdapterSend>& sends) {
    std::string text;
    for (const AdapterSend& send : sends) {
        if (send.failure.empty()) continue;
        text += text.empty() ? "Sending failed on " : "; on ";
        text += send.adapter.Known() ? send.adapter.name : std::string("the default route");
        text += ": " + send.failure;
    }
    return text.empty() ? text : text + ".";
}

std::string Joined(const std::string& first, const std::string& second) {
    if (first.empty()) return second;
    return second.empty() ? first : first + " " + second;
}

// Whether the address lies outside the adapter's network; false when either is not known.
bool OutsideNetworkOf(const NetworkAdapter& adapter, std::string_view address) {
    const auto bits = ParsedAddress(address);
    return adapter.Known() && bits && !adapter.Contains(*bits);
}

}  // namespace

std::optional<std::string> UnreachableReason(std::string_view deviceAddress, const NetworkAdapter& heardOn) {
    if (!OutsideNetworkOf(heardOn, deviceAddress)) return std::nullopt;
    return std::string(deviceAddress) + " is outside this PC's network on " + heardOn.Describe() +
           ". Use Set IP to give it an address in that network.";
}

std::optional<std::string> CrossNetworkQuestion(std::string_view newAddress, const NetworkAdapter& heardOn) {
    if (!OutsideNetworkOf(heardOn, newAddress)) return std::nullopt;
    return "The new address " + std::string(newAddress) + " lies outside the network of " +
           heardOn.Describe() +
           ", the adapter through which this PC reaches the device. After the change this PC will not reach "
           "the device; it would reach it at an address in " +
           heardOn.NetworkText() + " through " + heardOn.name + ".\n\nSend the new address anyway?";
}

std::string EmptyListReason(const std::vector<AdapterSend>& sends, std::size_t answers) {
    if (sends.empty()) return std::string(kNoAdapter);
    if (answers > 0) {
        return Joined(FailuresText(sends), std::to_string(answers) + (answers == 1 ? " device" : " devices") +
                                               " answered, none of them a " + std::string(kModelName) + ".");
    }
    std::string tried;
    for (const AdapterSend& send : sends) {
        if (!send.failure.empty() || !send.adapter.Known()) continue;
        if (!tried.empty()) tried += ", ";
        tried += send.adapter.Describe();
    }
    const std::string where = tried.empty() ? std::string() : " on " + tried;
    return Joined(FailuresText(sends), "Nothing answered" + where +
                                           ". A firewall must let in UDP datagrams from port " +
                                           std::to_string(kDevicePort) + ".");
}

std::string SendFailureReason(const std::vector<AdapterSend>& sends) {
    return sends.empty() ? std::string(kNoAdapter) : FailuresText(sends);
}
