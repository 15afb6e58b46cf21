#include "ndcp/UdpTransport.h"

#include <array>
#include <utility>

#include <QObject>
#include <QtGlobal>

#include "ndcp/wire/NDCPPacket.h"

#if defined(Q_OS_LINUX) && !defined(OV_PORTABLE_UDP)
#define OV_BATCHED_UDP 1
#include <cerrno>

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#else
#include <QHostAddress>
#include <QUdpSocket>
#include <QVariant>
#endif

namespace {

// One byte more than an answer may have, so that a longer datagram shows by its size.
constexpr std::size_t kSlotSize = kReceiveBufferSize + 1;

#ifdef OV_BATCHED_UDP

// Datagrams taken by one system call.
constexpr unsigned int kBatchSize = 16;

bool ToAddress(const std::string& text, std::uint16_t port, sockaddr_in& address) {
    address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return ::inet_pton(AF_INET, text.c_str(), &address.sin_addr) == 1;
}

// Privileged processes may go past the system's limit; the others keep what SO_RCVBUF grants.
void EnlargeReceiveBuffer(int descriptor, int bytes) {
    if (::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
    ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

// The system's own socket, read in batches with recvmmsg.
class BatchedUdpTransport final : public Transport {
public:
    BatchedUdpTransport(int descriptor, std::string localAddress)
        : descriptor_(descriptor), localAddress_(std::move(localAddress)) {}
    ~BatchedUdpTransport() override;

    void OnReadable(QObject* context, std::function<void()> handler) override;
    [[nodiscard]] bool Send(std::span<const std::uint8_t> datagram, const std::string& address,
                            std::uint16_t port) override;
    // The time is looked at between batches of 16, so that no taken datagram is left behind.
    void Receive(const DatagramHandler& handler, const TimeUp& timeUp) override;
    [[nodiscard]] int ReceiveBufferSize() const override;
    [[nodiscard]] const std::string& LocalAddress() const override { return localAddress_; }

private:
    struct Batch;

    // Hands out the datagrams of the batch not yet handed out; false when the handler stopped.
    bool HandOut(Batch& batch, const DatagramHandler& handler);
    // Datagrams taken from the system but not yet handed out no longer make the socket readable:
    // a posted call of the readiness handler stands in for that, so that an event loop run by a
    // handler still gets them.
    void PostWake();

    int descriptor_;
    std::string localAddress_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> readable_;
    Batch* current_ = nullptr;  // the batch the innermost reading is handing out
    bool wakePosted_ = false;
};

BatchedUdpTransport::~BatchedUdpTransport() {
    notifier_.reset();  // before the descriptor it watches goes
    ::close(descriptor_);
}

void BatchedUdpTransport::OnReadable(QObject* context, std::function<void()> handler) {
    readable_ = std::move(handler);
    notifier_ = std::make_unique<QSocketNotifier>(descriptor_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, context, [this] { readable_(); });
}

bool BatchedUdpTransport::Send(std::span<const std::uint8_t> datagram, const std::string& address,
                               std::uint16_t port) {
    sockaddr_in to{};
    if (!ToAddress(address, port, to)) return false;
    ssize_t sent = 0;
    do {
        sent = ::sendto(descriptor_, datagram.data(), datagram.size(), 0,
                        reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(datagram.size());
}

// The datagrams that one recvmmsg call took, handed out in order of arrival. A reading nested in a
// handler (a callback that runs an event loop) hands out the rest of the outer reading's batch
// before it reads on, so that no datagram overtakes another.
struct BatchedUdpTransport::Batch {
    Batch() : storage(std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t{kBatchSize} * kSlotSize)) {
        for (std::size_t i = 0; i < kBatchSize; ++i) {
            vectors[i] = {storage.get() + i * kSlotSize, kSlotSize};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &senders[i];
        }
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    std::unique_ptr<std::uint8_t[]> storage;
    std::array<iovec, kBatchSize> vectors{};
    std::array<sockaddr_in, kBatchSize> senders{};
    std::array<mmsghdr, kBatchSize> messages{};
    unsigned int count = 0;
    unsigned int next = 0;  // the first datagram not yet handed out
};

bool BatchedUdpTransport::HandOut(Batch& batch, const DatagramHandler& handler) {
    while (batch.next < batch.count) {
        const unsigned int i = batch.next++;
        // The handler may run an event loop, in which this socket's own notification does not
        // come again: the wake lets that loop read on, after the rest of this batch.
        PostWake();
        const std::size_t size = batch.messages[i].msg_len;
        if (size > kReceiveBufferSize) continue;
        const ReceivedDatagram received{
            std::span<const std::uint8_t>(batch.storage.get() + i * kSlotSize, size),
            ntohl(batch.senders[i].sin_addr.s_addr), ntohs(batch.senders[i].sin_port), localAddress_};
        if (!handler(received)) return false;
    }
    return true;
}

void BatchedUdpTransport::PostWake() {
    if (wakePosted_ || !notifier_) return;
    wakePosted_ = true;
    // Bound to the notifier, so that the call is dropped when the socket goes first.
    QMetaObject::invokeMethod(
        notifier_.get(),
        [this] {
            wakePosted_ = false;
            // Only an event loop run by a handler of a reading still under way needs it;
            // otherwise the readiness notification does the rest.
            if (current_ && readable_) readable_();
        },
        Qt::QueuedConnection);
}

void BatchedUdpTransport::Receive(const DatagramHandler& handler, const TimeUp& timeUp) {
    if (current_ && !HandOut(*current_, handler)) return;
    Batch batch;
    Batch* const outer = current_;
    current_ = &batch;
    for (;;) {
        for (mmsghdr& message : batch.messages) message.msg_hdr.msg_namelen = sizeof(sockaddr_in);
        const int count = ::recvmmsg(descriptor_, batch.messages.data(), kBatchSize, MSG_DONTWAIT, nullptr);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        batch.count = static_cast<unsigned int>(count);
        batch.next = 0;
        // A false handler means the socket may be gone: nothing of it is touched any more.
        if (!HandOut(batch, handler)) return;
        if (batch.count < kBatchSize || timeUp()) break;
    }
    current_ = outer;
}

int BatchedUdpTransport::ReceiveBufferSize() const {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (::getsockopt(descriptor_, SOL_SOCKET, SO_RCVBUF, &bytes, &length) != 0) return 0;
    return bytes;
}

}  // namespace

std::unique_ptr<Transport> OpenUdpTransport(const std::string& localAddress, int receiveBuffer) {
    sockaddr_in local{};
    if (!ToAddress(localAddress, 0, local)) return nullptr;
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0) return nullptr;
    // Closes the descriptor on every failure below.
    auto transport = std::make_unique<BatchedUdpTransport>(descriptor, localAddress);
    const int on = 1;
    if (::setsockopt(descriptor, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return nullptr;
    if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return nullptr;
    EnlargeReceiveBuffer(descriptor, receiveBuffer);
    return transport;
}

#else

// Qt's socket, one datagram a read.
class PortableUdpTransport final : public Transport {
public:
    PortableUdpTransport(std::unique_ptr<QUdpSocket> socket, std::string localAddress)
        : socket_(std::move(socket)), localAddress_(std::move(localAddress)) {}
    ~PortableUdpTransport() override { socket_->close(); }

    void OnReadable(QObject* context, std::function<void()> handler) override {
        QObject::connect(socket_.get(), &QUdpSocket::readyRead, context,
                         [handler = std::move(handler)] { handler(); });
    }
    [[nodiscard]] bool Send(std::span<const std::uint8_t> datagram, const std::string& address,
                            std::uint16_t port) override;
    // The time is looked at after every datagram.
    void Receive(const DatagramHandler& handler, const TimeUp& timeUp) override;
    [[nodiscard]] int ReceiveBufferSize() const override {
        return socket_->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    }
    [[nodiscard]] const std::string& LocalAddress() const override { return localAddress_; }

private:
    std::unique_ptr<QUdpSocket> socket_;
    std::string localAddress_;
};

bool PortableUdpTransport::Send(std::span<const std::uint8_t> datagram, const std::string& address,
                                std::uint16_t port) {
    const QHostAddress to(QString::fromStdString(address));
    if (to.protocol() != QAbstractSocket::IPv4Protocol) return false;
    const qint64 sent = socket_->writeDatagram(reinterpret_cast<const char*>(datagram.data()),
                                               static_cast<qint64>(datagram.size()), to, port);
    return sent == static_cast<qint64>(datagram.size());
}

void PortableUdpTransport::Receive(const DatagramHandler& handler, const TimeUp& timeUp) {
    std::array<std::uint8_t, kSlotSize> buffer{};
    while (socket_->hasPendingDatagrams()) {
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 size = socket_->readDatagram(reinterpret_cast<char*>(buffer.data()),
                                                  static_cast<qint64>(buffer.size()), &sender, &senderPort);
        if (size < 0) return;
        if (static_cast<std::size_t>(size) <= kReceiveBufferSize) {
            const ReceivedDatagram received{
                std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(size)),
                sender.toIPv4Address(), senderPort, localAddress_};
            if (!handler(received)) return;
        }
        // Every successful read re-arms the readiness notification, so what is left now is
        // announced again on the next turn of the event loop.
        if (timeUp()) return;
    }
}

}  // namespace

std::unique_ptr<Transport> OpenUdpTransport(const std::string& localAddress, int receiveBuffer) {
    auto udp = std::make_unique<QUdpSocket>();
    if (!udp->bind(QHostAddress(QString::fromStdString(localAddress)), 0)) return nullptr;
    udp->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBuffer);
    return std::make_unique<PortableUdpTransport>(std::move(udp), localAddress);
}

#endif
