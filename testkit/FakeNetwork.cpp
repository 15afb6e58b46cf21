#include "testkit/FakeNetwork.h"

#include <algorithm>
#include <deque>

#include <QObject>
#include <QPointer>

#include "ndcp/PostedCall.h"

// One transport opened on the fake network.
class FakeNetwork::Endpoint final : public Transport {
public:
    Endpoint(FakeNetwork& network, std::string localAddress)
        : network_(&network), localAddress_(std::move(localAddress)) {
        network_->endpoints_.push_back(this);
    }
    ~Endpoint() override { Detach(); }

    void Detach() {
        if (!network_) return;
        std::erase(network_->endpoints_, this);
        if (network_->lastSender_ == this) network_->lastSender_ = nullptr;
        network_ = nullptr;
    }

    void OnReadable(QObject* context, std::function<void()> handler) override {
        context_ = context;
        readable_ = std::move(handler);
    }
    [[nodiscard]] std::vector<NetworkAdapter> Adapters() const override {
        return network_ ? network_->adapters_ : std::vector<NetworkAdapter>{};
    }
    [[nodiscard]] SendFailure Send(std::span<const std::uint8_t> datagram, const std::string& /*address*/,
                                   std::uint16_t /*port*/, const NetworkAdapter& through) override {
        if (!network_) return std::string(kSendFailure);
        return network_->Sent(*this, datagram, through);
    }
    void Receive(const DatagramHandler& handler, const TimeUp& timeUp) override {
        while (!queue_.empty()) {
            const Queued datagram = std::move(queue_.front());
            queue_.pop_front();
            // A handler that runs an event loop reads on from there.
            if (!queue_.empty()) readAgain_.Post();
            const ReceivedDatagram received{datagram.bytes, 0x7F000001, datagram.sourcePort, localAddress_,
                                            datagram.adapterIndex};
            if (!handler(received)) return;
            if (timeUp()) break;
        }
        if (!queue_.empty()) readAgain_.Post();
    }
    [[nodiscard]] int ReceiveBufferSize() const override { return kGrantedReceiveBuffer; }
    [[nodiscard]] const std::string& LocalAddress() const override { return localAddress_; }

    void Arrive(const std::vector<std::uint8_t>& datagram, std::uint16_t sourcePort,
                unsigned int adapterIndex) {
        queue_.push_back({datagram, sourcePort, adapterIndex});
        readAgain_.Post();
    }

private:
    struct Queued {
        std::vector<std::uint8_t> bytes;
        std::uint16_t sourcePort;
        unsigned int adapterIndex;
    };

    FakeNetwork* network_;
    std::string localAddress_;
    QPointer<QObject> context_;
    std::function<void()> readable_;
    std::deque<Queued> queue_;
    // Dropped when the endpoint goes first.
    PostedCall readAgain_{[this] {
        if (!queue_.empty() && readable_ && !context_.isNull()) readable_();
    }};
};

FakeNetwork::FakeNetwork() = default;

FakeNetwork::~FakeNetwork() {
    for (Endpoint* endpoint : std::vector<Endpoint*>(endpoints_)) endpoint->Detach();
}

ClientEnvironment FakeNetwork::Environment() {
    const TransportFactory open = [this](const std::string& localAddress,
                                         int /*receiveBuffer*/) -> std::unique_ptr<Transport> {
        lastLocalAddress_ = localAddress;
        if (failOpen_) return nullptr;
        return std::make_unique<Endpoint>(*this, localAddress);
    };
    return {open, NDCPNetworkSetting{}, &clock_};
}

Transport::SendFailure FakeNetwork::Sent(Endpoint& from, std::span<const std::uint8_t> datagram,
                                         const NetworkAdapter& through) {
    if (failSend_ || (through.Known() && through.index == failThrough_)) return std::string(kSendFailure);
    lastSender_ = &from;
    lastAdapter_ = through.index;
    requests_.emplace_back(datagram.begin(), datagram.end());
    sentThrough_.push_back(through);
    if (handler_) handler_(*this, requests_.back());
    return std::nullopt;
}

void FakeNetwork::Deliver(const std::vector<std::uint8_t>& datagram, std::uint16_t sourcePort) {
    if (lastSender_) lastSender_->Arrive(datagram, sourcePort, lastAdapter_);
}

void FakeNetwork::ReplyOn(unsigned int adapterIndex, const std::vector<std::uint8_t>& datagram) {
    if (lastSender_) lastSender_->Arrive(datagram, kDevicePort, adapterIndex);
}
