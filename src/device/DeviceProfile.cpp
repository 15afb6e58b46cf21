#include "device/DeviceProfile.h"

#include <string>

#include "vars/OvNDCPVarList.h"

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

void SetDiscoveryVars(OvNDCPVarList& vars) {
    vars.Clear();
    vars.AddDefinitions(DiscoveryVarDefs());
    vars.Name = std::string(kDiscoveryListName);
}
