#pragma once

#include <string>
#include <string_view>

class OvNDCPVarList;

// What a Set IP request carries besides its target: the new address and netmask, and the password
// text that authenticates it.

// Appends the two variables of kSetIPVarDefs to vars, holding address and netmask as the address
// rules write them. Raises OvException with the message of SetIPRefusal before it changes vars.
void AddSetIPVars(OvNDCPVarList& vars, std::string_view address, std::string_view netmask);

// The access password encrypted under the fixed key, as upper-case hexadecimal text: what a device
// accepts as the password of a Set. Raises the cipher's OvException.
[[nodiscard]] std::string SetIPPassword(std::string_view accessPassword);
