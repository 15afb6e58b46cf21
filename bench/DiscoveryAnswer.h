#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NDCPPacket.h"
#include "OvNDCPResponseVarList.h"
#include "OvNDCPVarList.h"

// The main window's discovery variable: one readable variable "Discovery" (id 0, type 0) whose
// five parts an answer carries as elements 1, 6, 2, 3 and 4.
class DiscoveryDefinitions {
public:
    DiscoveryDefinitions();

    // Appends the discovery variable to the list and names it "Discovery Table".
    void AddTo(OvNDCPVarList& vars) const;

    static constexpr const char* kFilter = "$0.0=KVX-770B";
    static constexpr const char* kModel = "KVX-770B";
    static constexpr const char* kPassword = "kestu";
    static constexpr const char* kBroadcastMac = "FFFFFFFFFFFF";

private:
    std::unique_ptr<OvNDCPResponseVarList> parts_;
};

// One device's answer to a Discover, status 0, as a device sends it.
[[nodiscard]] std::vector<std::uint8_t> BuildDiscoveryAnswer(std::uint8_t sequence, const MacBytes& mac,
                                                             const std::string& model,
                                                             const std::string& name, const std::string& ip,
                                                             const std::string& netmask);
