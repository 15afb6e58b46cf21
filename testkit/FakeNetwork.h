#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ndcp/OvNDCPClient.h"
#include "testkit/ManualClock.h"

// An in-memory network with a manual clock that plays the devices' side for tests: a client
// started with its Environment sends into it, the handler answers every request through Reply,
// and the answers arrive through the event loop in order. Nothing leaves the process and nothing
// waits for real time.
class FakeNetwork {
public:
    using Handler = std::function<void(FakeNetwork&, const std::vector<std::uint8_t>& request)>;
    // The source port of the devices' answers and the destination of the requests.
    static constexpr std::uint16_t kDevicePort = 64512;
    static constexpr std::uint16_t kOtherPort = 50000;
    static constexpr int kGrantedReceiveBuffer = 425984;

    FakeNetwork();
    ~FakeNetwork();
    FakeNetwork(const FakeNetwork&) = delete;
    FakeNetwork& operator=(const FakeNetwork&) = delete;

    // The transport factory of this network, its clock and the default addresses.
    [[nodiscard]] ClientEnvironment Environment();
    [[nodiscard]] ManualClock& Time() { return clock_; }

    // Called for every request sent; the handler answers through Reply.
    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    // Answers the endpoint of the last request from the devices' port.
    void Reply(const std::vector<std::uint8_t>& datagram) { Deliver(datagram, kDevicePort); }
    // Answers it from another port, which is not the devices' port.
    void ReplyFromOtherPort(const std::vector<std::uint8_t>& datagram) { Deliver(datagram, kOtherPort); }
    void Deliver(const std::vector<std::uint8_t>& datagram, std::uint16_t sourcePort);

    // Opening a transport fails while set; sending fails while set.
    void FailOpen(bool fail) { failOpen_ = fail; }
    void FailSend(bool fail) { failSend_ = fail; }

    [[nodiscard]] const std::vector<std::vector<std::uint8_t>>& Requests() const { return requests_; }
    // The local address the last transport was opened on.
    [[nodiscard]] const std::string& LastLocalAddress() const { return lastLocalAddress_; }

    class Endpoint;

private:
    friend class Endpoint;
    void Sent(Endpoint& from, std::span<const std::uint8_t> datagram);

    ManualClock clock_;
    Handler handler_;
    std::vector<std::vector<std::uint8_t>> requests_;
    std::vector<Endpoint*> endpoints_;
    Endpoint* lastSender_ = nullptr;
    std::string lastLocalAddress_;
    bool failOpen_ = false;
    bool failSend_ = false;
};
