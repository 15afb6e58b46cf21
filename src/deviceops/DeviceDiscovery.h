#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "device/DeviceProfile.h"
#include "device/ListedDevice.h"
#include "ndcp/wire/NDCPPacket.h"
#include "ndcp/wire/NetworkAdapter.h"

// Finding the devices of the model through the running client (StartClient), as the main window
// does: the discovery variable, the broadcast target with the default password, the model filter.

struct DiscoveryChoice {
    std::int32_t timeout = kDiscoveryTimeout;  // units of 10 ms
    NetworkAdapter through{};                  // none: every adapter
    bool allModels = false;                    // true: no model filter
    // Told every 100 ms while the discovery waits, with the answers collected so far.
    std::function<void(std::size_t answers)> progress;
};

struct DiscoveryRun {
    std::vector<ListedDevice> devices;  // one per MAC address, the first answer's, in order of arrival
    std::size_t answered = 0;           // devices that answered, of any model, each MAC address once
    std::size_t dropped = 0;            // answers beyond what one discovery keeps
    std::vector<AdapterSend> sends;     // how the Discover left
};

// One Discover, waiting its whole time-out with the event loop running. Raises the request's
// OvException when it could not be sent (kSocketReadWriteError: see sends of the client's
// LastSends()). An answer the filter cannot read is left out, as the window leaves it out.
[[nodiscard]] DiscoveryRun DiscoverDevices(const DiscoveryChoice& choice);

// Sends one Discover through the adapter (every adapter when none) and returns the first answer of
// the device with that MAC address that passes the filter (none: every answer), as soon as it
// arrives; answers of other devices are ignored. None when it has not answered within the time-out
// (units of 10 ms). Raises the Discover's OvException when it could not be sent. The Discover stays
// pending in the client until its time-out; its later answers go nowhere.
[[nodiscard]] std::optional<ListedDevice> FindDeviceByMac(const MacBytes& mac, const NetworkAdapter& through,
                                                          std::int32_t timeout, std::string_view filter = {});
