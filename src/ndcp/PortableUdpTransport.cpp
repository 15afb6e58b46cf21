#include "ndcp/UdpTransport.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QObject>
#include <QUdpSocket>
#include <QVariant>

#include "ndcp/PostedCall.h"
#include "ndcp/wire/NDCPPacket.h"

namespace {

// One byte more than an answer may have, so that a longer datagram shows by its size.
constexpr std::size_t kSlotSize = kReceiveBufferSize + 1;

// Qt's socket, one datagram a read.
class PortableUdpTransport final : public Transport {
public:
    PortableUdpTransport(std::unique_ptr<QUdpSocket> socket, std::string localAddress)
        : socket_(std::move(socket)), localAddress_(std::move(localAddress)) {}
    // A handler may destroy the transport inside the socket's own readyRead, after which Qt goes
    // on using the socket: during a reading the socket, closed and cut off from this transport,
    // goes only once control is back in the event loop.
    ~PortableUdpTransport() override {
        socket_->close();
        if (readingDepth_ == 0) return;
        socket_->disconnect();
        socket_.release()->deleteLater();
    }

    void OnReadable(QObject* context, std::function<void()> handler) override {
        readable_ = std::move(handler);
        QObject::connect(socket_.get(), &QUdpSocket::readyRead, context, [this] { readable_(); });
    }
    [[nodiscard]] std::vector<NetworkAdapter> Adapters() const override;
    // Through an adapter, the datagram names the adapter's interface and address, which Qt hands
    // to the system as packet information.
    [[nodiscard]] SendFailure Send(std::span<const std::uint8_t> datagram, const std::string& address,
                                   std::uint16_t port, const NetworkAdapter& through) override;
    // The time is looked at after every datagram.
    void Receive(const DatagramHandler& handler, const TimeUp& timeUp) override;
    [[nodiscard]] int ReceiveBufferSize() const override {
        return socket_->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    }
    [[nodiscard]] const std::string& LocalAddress() const override { return localAddress_; }

private:
    std::unique_ptr<QUdpSocket> socket_;
    std::string localAddress_;
    std::function<void()> readable_;
    int readingDepth_ = 0;  // readings under way, the innermost last
    // Qt does not announce readyRead again while its handler runs: a handler that runs an event
    // loop would read nothing more. A posted call of the readiness handler stands in for it.
    PostedCall readAgain_{[this] {
        if (readingDepth_ > 0 && readable_ && socket_->hasPendingDatagrams()) readable_();
    }};
};

std::vector<NetworkAdapter> PortableUdpTransport::Adapters() const {
    std::vector<NetworkAdapter> adapters;
    for (const QNetworkInterface& system : QNetworkInterface::allInterfaces()) {
        const auto flags = system.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : system.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol) continue;
            // An adapter with several addresses is sent through once, from its first.
            adapters.push_back({system.name().toStdString(), static_cast<unsigned int>(system.index()),
                                entry.ip().toIPv4Address(), entry.prefixLength()});
            break;
        }
    }
    return adapters;
}

Transport::SendFailure PortableUdpTransport::Send(std::span<const std::uint8_t> datagram,
                                                  const std::string& address, std::uint16_t port,
                                                  const NetworkAdapter& through) {
    const QHostAddress to(QString::fromStdString(address));
    if (to.protocol() != QAbstractSocket::IPv4Protocol) return "not an IPv4 address: " + address;
    QNetworkDatagram outgoing(
        QByteArray(reinterpret_cast<const char*>(datagram.data()), static_cast<qsizetype>(datagram.size())),
        to, port);
    if (through.Known()) {
        outgoing.setInterfaceIndex(through.index);
        outgoing.setSender(QHostAddress(through.address));
    }
    const qint64 sent = socket_->writeDatagram(outgoing);
    if (sent < 0) return socket_->errorString().toStdString();
    if (sent != static_cast<qint64>(datagram.size())) return std::string("the datagram was cut short");
    return std::nullopt;
}

void PortableUdpTransport::Receive(const DatagramHandler& handler, const TimeUp& timeUp) {
    ++readingDepth_;
    while (socket_->hasPendingDatagrams()) {
        const QNetworkDatagram incoming = socket_->receiveDatagram(static_cast<qint64>(kSlotSize));
        if (!incoming.isValid()) break;
        const QByteArray bytes = incoming.data();
        if (static_cast<std::size_t>(bytes.size()) <= kReceiveBufferSize) {
            const ReceivedDatagram received{
                std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                              static_cast<std::size_t>(bytes.size())),
                incoming.senderAddress().toIPv4Address(), static_cast<std::uint16_t>(incoming.senderPort()),
                localAddress_, incoming.interfaceIndex()};
            readAgain_.Post();
            // A false handler means the transport may be gone: nothing of it is touched any more.
            if (!handler(received)) return;
        }
        // Every successful read re-arms the readiness notification, so what is left now is
        // announced again on the next turn of the event loop.
        if (timeUp()) break;
    }
    --readingDepth_;
}

}  // namespace

bool UdpTransportForcesReceiveBuffer() noexcept { return false; }

bool UdpTransportHasReader() noexcept { return false; }

std::unique_ptr<Transport> OpenUdpTransport(const std::string& localAddress, int receiveBuffer) {
    auto udp = std::make_unique<QUdpSocket>();
    if (!udp->bind(QHostAddress(QString::fromStdString(localAddress)), 0)) return nullptr;
    udp->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBuffer);
    return std::make_unique<PortableUdpTransport>(std::move(udp), localAddress);
}
