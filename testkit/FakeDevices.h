#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testkit/FakeNetwork.h"

// Devices on the in-memory network that answer as the simulator's do: a Discover to the broadcast
// MAC address or their own with their five values, a Set to their own MAC address with status 0
// and the new address applied when it carries their access password (the authenticator is checked),
// status 1 and nothing changed otherwise. Each device hears only the requests that leave through
// the adapter it is on, and answers there.
struct FakeDevice {
    std::string name = "Storage";
    std::string mac = "001122334401";  // 12 upper-case hexadecimal digits
    std::string ip = "192.168.0.20";
    std::string netmask = "255.255.255.0";
    std::string model = "KVX-770B";
    unsigned int adapterIndex = FakeNetwork::FirstAdapter().index;
    std::string accessPassword = "admin";
    int setDelayMs = 0;                   // the Set's answer comes that much later
    bool answersSet = true;               // false: a Set is applied without an answer
    bool appliesSet = true;               // false: a Set is answered but not applied
    bool answersDiscoverAfterSet = true;  // false: silent to every Discover after a Set
};

class FakeDevices {
public:
    // Answers the requests sent into the network from now on.
    FakeDevices(FakeNetwork& network, std::vector<FakeDevice> devices);

    [[nodiscard]] std::vector<FakeDevice>& Devices() { return devices_; }
    // The Set requests that reached a device, whether it took them or not.
    [[nodiscard]] int SetsReceived() const { return setsReceived_; }

private:
    void Answer(const std::vector<std::uint8_t>& request);
    void AnswerSet(FakeDevice& device, const std::vector<std::uint8_t>& request);

    FakeNetwork& network_;
    std::vector<FakeDevice> devices_;
    std::vector<bool> setApplied_;
    int setsReceived_ = 0;
};
