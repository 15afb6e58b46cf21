#include "device/SetIPRequest.h"

#include <utility>

#include "device/AddressRules.h"
#include "device/DeviceProfile.h"
#include "device/PasswordCipher.h"
#include "errors/OvException.h"
#include "vars/OvNDCPVarList.h"

void AddSetIPVars(OvNDCPVarList& vars, std::string_view address, std::string_view netmask) {
    // Refused here rather than sent: the codec would turn an incomplete address into 255.255.255.255,
    // and a device would apply an address that nothing reaches.
    if (auto refusal = SetIPRefusal(address, netmask)) throw OvException(std::move(refusal->message));
    std::string addressText = CheckedAddressText(address, AddressKind::IpAddress);
    std::string netmaskText = CheckedAddressText(netmask, AddressKind::Netmask);
    const int first = vars.Count();
    vars.AddDefinitions(kSetIPVarDefs);
    vars.Var(first).Value = std::move(addressText);
    vars.Var(first + 1).Value = std::move(netmaskText);
}

std::string SetIPPassword(std::string_view accessPassword) {
    return EncryptAccessPassword(kAccessPasswordKey, accessPassword);
}
