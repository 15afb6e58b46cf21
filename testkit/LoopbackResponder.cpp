#include "testkit/LoopbackResponder.h"

#include <QNetworkDatagram>

LoopbackResponder::LoopbackResponder() {
    socket_.bind(QHostAddress::LocalHost, 0);
    otherSocket_.bind(QHostAddress::LocalHost, 0);
    connect(&socket_, &QUdpSocket::readyRead, this, &LoopbackResponder::ReadRequests);
    network_.emplace(LoopbackSetting(socket_.localPort()));
}

void LoopbackResponder::ReadRequests() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_.receiveDatagram();
        lastSender_ = datagram.senderAddress();
        lastSenderPort_ = static_cast<std::uint16_t>(datagram.senderPort());
        const QByteArray data = datagram.data();
        requests_.emplace_back(data.begin(), data.end());
        if (handler_) handler_(*this, requests_.back());
    }
}

void LoopbackResponder::Reply(const std::vector<std::uint8_t>& datagram) {
    socket_.writeDatagram(reinterpret_cast<const char*>(datagram.data()),
                          static_cast<qint64>(datagram.size()), lastSender_, lastSenderPort_);
}

void LoopbackResponder::ReplyFromOtherPort(const std::vector<std::uint8_t>& datagram) {
    otherSocket_.writeDatagram(reinterpret_cast<const char*>(datagram.data()),
                               static_cast<qint64>(datagram.size()), lastSender_, lastSenderPort_);
}
