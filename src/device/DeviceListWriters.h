#pragma once

#include <span>
#include <string>

#include "device/ListedDevice.h"

// The device list written for people and for programs. Every text a device sent is read as
// DeviceText.h says and written as UTF-8; MAC addresses are 12 upper-case hexadecimal digits; the
// adapter is its system name, empty when not known. Whatever bytes a device sends, the output stays
// well-formed and one device stays one record.
enum class ListFormat {
    // A header line, then a line a device: the columns Device Name, MAC Address, IP Address,
    // Netmask and Adapter, aligned by characters, two blanks apart. A control character shows as
    // \xHH, so that a name can neither break the line nor drive the terminal.
    Table,
    // One array of objects with the keys name, mac, ip, netmask, module and adapter, an object a
    // line. Control characters, U+2028 and U+2029 are escaped.
    Json,
    // RFC 4180: the header line name,mac,ip,netmask,module,adapter, lines ending CR LF; a field is
    // quoted when it holds a comma, a double quote (doubled inside), a control character (line
    // breaks included) or a blank at either end.
    Csv,
};

[[nodiscard]] std::string DeviceListText(std::span<const ListedDevice> devices, ListFormat format);
