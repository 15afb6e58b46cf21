#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
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
    // The adapter the network starts with.
    static NetworkAdapter FirstAdapter() { return {"eth0", 2, 0xC0A8000A, 24}; }  // 192.168.0.10/24

    FakeNetwork();
    ~FakeNetwork();
    FakeNetwork(const FakeNetwork&) = delete;
    FakeNetwork& operator=(const FakeNetwork&) = delete;

    // The transport factory of this network, its clock and the default addresses.
    [[nodiscard]] ClientEnvironment Environment();
    [[nodiscard]] ManualClock& Time() { return clock_; }

    // Called for every request sent; the handler answers through Reply.
    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    // Answers the endpoint of the last request from the devices' port, on the adapter the request
    // last left through.
    void Reply(const std::vector<std::uint8_t>& datagram) { Deliver(datagram, kDevicePort); }
    // Answers it from another port, which is not the devices' port.
    void ReplyFromOtherPort(const std::vector<std::uint8_t>& datagram) { Deliver(datagram, kOtherPort); }
    void Deliver(const std::vector<std::uint8_t>& datagram, std::uint16_t sourcePort);
    // Answers it from the devices' port on the adapter of that interface index (0: unknown).
    void ReplyOn(unsigned int adapterIndex, const std::vector<std::uint8_t>& datagram);

    // The adapters the transports report, FirstAdapter() until set.
    void SetAdapters(std::vector<NetworkAdapter> adapters) { adapters_ = std::move(adapters); }
    // Opening a transport fails while set; sending fails while set (everywhere, or through the
    // adapter of that index).
    void FailOpen(bool fail) { failOpen_ = fail; }
    void FailSend(bool fail) { failSend_ = fail; }
    void FailSendThrough(unsigned int adapterIndex) { failThrough_ = adapterIndex; }
    static constexpr std::string_view kSendFailure = "Network is unreachable";

    [[nodiscard]] const std::vector<std::vector<std::uint8_t>>& Requests() const { return requests_; }
    // The adapter each of Requests() left through (none along the system's route).
    [[nodiscard]] const std::vector<NetworkAdapter>& SentThrough() const { return sentThrough_; }
    // The local address the last transport was opened on.
    [[nodiscard]] const std::string& LastLocalAddress() const { return lastLocalAddress_; }

    class Endpoint;

private:
    friend class Endpoint;
    [[nodiscard]] Transport::SendFailure Sent(Endpoint& from, std::span<const std::uint8_t> datagram,
                                              const NetworkAdapter& through);

    ManualClock clock_;
    Handler handler_;
    std::vector<std::vector<std::uint8_t>> requests_;
    std::vector<NetworkAdapter> sentThrough_;
    std::vector<NetworkAdapter> adapters_{FirstAdapter()};
    std::vector<Endpoint*> endpoints_;
    Endpoint* lastSender_ = nullptr;
    unsigned int lastAdapter_ = 0;
    std::string lastLocalAddress_;
    bool failOpen_ = false;
    bool failSend_ = false;
    unsigned int failThrough_ = 0;
};
