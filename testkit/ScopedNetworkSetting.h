#pragma once

#include <cstdint>

#include "ndcp/NetworkSetting.h"

// Puts a process-wide network setting in force while it lives; the old setting comes back
// afterwards.
class ScopedNetworkSetting {
public:
    explicit ScopedNetworkSetting(const NDCPNetworkSetting& setting);
    ~ScopedNetworkSetting();
    ScopedNetworkSetting(const ScopedNetworkSetting&) = delete;
    ScopedNetworkSetting& operator=(const ScopedNetworkSetting&) = delete;

private:
    NDCPNetworkSetting saved_;
};

// The devices' side on 127.0.0.1 and the port, and the client's socket on 127.0.0.1 as well.
[[nodiscard]] NDCPNetworkSetting LoopbackSetting(std::uint16_t port);
