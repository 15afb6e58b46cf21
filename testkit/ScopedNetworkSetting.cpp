#include "testkit/ScopedNetworkSetting.h"

ScopedNetworkSetting::ScopedNetworkSetting(const NDCPNetworkSetting& setting) : saved_(NetworkSetting()) {
    NetworkSetting() = setting;
}

ScopedNetworkSetting::~ScopedNetworkSetting() { NetworkSetting() = saved_; }

NDCPNetworkSetting LoopbackSetting(std::uint16_t port) {
    NDCPNetworkSetting setting;
    setting.destinationAddress = "127.0.0.1";
    setting.destinationPort = port;
    setting.answerSourcePort = port;
    setting.localAddress = "127.0.0.1";
    return setting;
}
