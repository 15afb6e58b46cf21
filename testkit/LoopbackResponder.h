#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QObject>
#include <QUdpSocket>

#include "testkit/ScopedNetworkSetting.h"

// A UDP socket on 127.0.0.1 that plays the devices' side for tests. While it lives, the
// process-wide network setting points the client at it; the old setting comes back afterwards.
class LoopbackResponder : public QObject {
public:
    using Handler = std::function<void(LoopbackResponder&, const std::vector<std::uint8_t>& request)>;

    LoopbackResponder();

    // Called for every request received; the handler answers through Reply.
    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    void Reply(const std::vector<std::uint8_t>& datagram);
    // Sends from another local socket, so that the source port is not the devices' port.
    void ReplyFromOtherPort(const std::vector<std::uint8_t>& datagram);

    [[nodiscard]] const std::vector<std::vector<std::uint8_t>>& Requests() const { return requests_; }
    [[nodiscard]] std::uint16_t Port() const { return socket_.localPort(); }

private:
    void ReadRequests();

    QUdpSocket socket_;
    QUdpSocket otherSocket_;
    QHostAddress lastSender_;
    std::uint16_t lastSenderPort_ = 0;
    Handler handler_;
    std::vector<std::vector<std::uint8_t>> requests_;
    std::optional<ScopedNetworkSetting> network_;
};
