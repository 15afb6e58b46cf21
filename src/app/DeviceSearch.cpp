#include "app/DeviceSearch.h"

#include <string>

#include "device/DeviceProfile.h"
#include "ndcp/OvNDCPRequest.h"
#include "ndcp/wire/NDCPPacket.h"

namespace {

// The value of the discovery variable's part of that identifier, or the empty text.
std::string PartValue(const OvNDCPVarList& vars, int id) {
    const OvNDCPResponseVarList* const parts = vars.Count() > 0 ? vars.Var(0).Parts.get() : nullptr;
    if (parts == nullptr) return {};
    for (int i = 0; i < parts->Count(); ++i) {
        if (parts->Part(i).Id == id) return parts->Part(i).Value;
    }
    return {};
}

}  // namespace

std::optional<FoundDevice> FindDeviceByMac(const QString& mac, const NetworkAdapter& adapter, int timeout) {
    const auto wanted = MacTextToBytes(mac.toStdString());
    if (!wanted) return std::nullopt;
    // A copy of the default device: the broadcast target and the discovery's password.
    OvNDCPRequest request;
    SetDiscoveryVars(request.Vars);
    request.Device.Adapter = adapter;
    request.Timeout = timeout;
    for (bool first = true; request.Discover(first); first = false) {
        if (MacTextToBytes(PartValue(request.Vars, kMacAddressId)) != wanted) continue;
        return FoundDevice{QString::fromStdString(PartValue(request.Vars, kIpAddressId)),
                           QString::fromStdString(PartValue(request.Vars, kNetmaskId))};
    }
    return std::nullopt;
}
