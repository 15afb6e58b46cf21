#include "ndcp-sim/SimDevice.h"

#include <cstdint>
#include <utility>

#include "device/SetIPRequest.h"

namespace ndcpsim {
namespace {

constexpr MacAddress kDerivedMacBase = {0x00, 0x11, 0x22, 0x33, 0x44, 0x00};
constexpr Ipv4Address kDerivedIpBase = {192, 168, 0, 100};
constexpr Ipv4Address kDerivedNetmask = {255, 255, 255, 0};

}  // namespace

SimDevice MakeDevice(std::string name, std::string model, const MacAddress& mac, const Ipv4Address& ip,
                     const Ipv4Address& netmask, std::string accessPassword) {
    SimDevice device;
    device.name = std::move(name);
    device.model = std::move(model);
    device.mac = mac;
    device.ip = ip;
    device.netmask = netmask;
    device.encryptedPassword = SetIPPassword(accessPassword);
    device.accessPassword = std::move(accessPassword);
    return device;
}

SimDevice DerivedDevice(std::size_t index, std::string model, std::string accessPassword) {
    const auto step = static_cast<std::uint32_t>(index);
    return MakeDevice("Storage-" + std::to_string(index), std::move(model), OffsetMac(kDerivedMacBase, step),
                      OffsetIpv4(kDerivedIpBase, step), kDerivedNetmask, std::move(accessPassword));
}

}  // namespace ndcpsim
