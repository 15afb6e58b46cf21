#include "DeviceProfile.h"

const OvNDCPResponseVarList& DiscoveryParts() {
    static const OvNDCPResponseVarList parts(kDiscoveryPartDefs);
    return parts;
}

const NDCPVarDef* DiscoveryVarDefs() {
    static const NDCPVarDef definitions[] = {
        {0, "Discovery", kTypeNone, kReadable, nullptr, &DiscoveryParts(), nullptr},
        {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
    };
    return definitions;
}
