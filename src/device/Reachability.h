#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ndcp/wire/NetworkAdapter.h"

// Why the program cannot reach a device at its address through the adapter that heard it: the
// address lies outside that adapter's network. None when it can, or when the adapter or the
// address is not known.
[[nodiscard]] std::optional<std::string> UnreachableReason(std::string_view deviceAddress,
                                                           const NetworkAdapter& heardOn);

// The question to ask before a Set IP gives a device an address outside the network of the adapter
// that heard it: this PC will not reach the device at that address, and through which adapter and
// network it would. None when the new address lies inside that network, or when the adapter or the
// address is not known.
[[nodiscard]] std::optional<std::string> CrossNetworkQuestion(std::string_view newAddress,
                                                              const NetworkAdapter& heardOn);

// Why a discovery listed no device, from how its Discover left (see AdapterSend) and how many
// devices answered at all. Every adapter that failed is named with the system's reason, and the
// adapters it left through are named when nothing answered there.
[[nodiscard]] std::string EmptyListReason(const std::vector<AdapterSend>& sends, std::size_t answers);

// Why a discovery could not start: no adapter, or the send failed on every one.
[[nodiscard]] std::string SendFailureReason(const std::vector<AdapterSend>& sends);
