#include "device/ListedDevice.h"

#include "device/DeviceProfile.h"
#include "vars/OvNDCPResponseVarList.h"
#include "vars/OvNDCPVarList.h"

namespace {

std::string PartValue(const OvNDCPResponseVarList* parts, std::uint8_t id) {
    if (!parts) return {};
    for (int i = 0; i < parts->Count(); ++i) {
        if (parts->Part(i).Id == id) return parts->Part(i).Value;
    }
    return {};
}

}  // namespace

ListedDevice ListedDeviceFromAnswer(const OvNDCPVarList& vars, const NetworkAdapter& heardOn) {
    const OvNDCPResponseVarList* const parts = vars.Count() > 0 ? vars.Var(0).Parts.get() : nullptr;
    return {PartValue(parts, kModuleNameId), PartValue(parts, kDeviceNameId), PartValue(parts, kMacAddressId),
            PartValue(parts, kIpAddressId),  PartValue(parts, kNetmaskId),    heardOn};
}
