#pragma once

#include <QString>
#include <optional>

#include "ndcp/wire/NetworkAdapter.h"

// Finding one device again after a change, by its MAC address.

// What the device reported of itself.
struct FoundDevice {
    QString address;
    QString netmask;
};

// Sends one Discover through the adapter (through every adapter when it is not known), waits its
// time-out (timeout units of 10 ms) with the window's events running, and returns what the device of
// the MAC address reported; answers of other devices are ignored. None when it did not answer.
// Raises the Discover's OvException when it could not be sent.
[[nodiscard]] std::optional<FoundDevice> FindDeviceByMac(const QString& mac, const NetworkAdapter& adapter,
                                                         int timeout);
