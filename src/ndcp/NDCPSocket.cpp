#include "ndcp/NDCPSocket.h"

#include <array>
#include <utility>

#include <QObject>

#include "ndcp/wire/NDCPPacket.h"

#ifdef Q_OS_LINUX
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

namespace detail {

namespace {

// One byte more than an answer may have, so that a longer datagram shows by its size.
constexpr std::size_t kSlotSize = kReceiveBufferSize + 1;

}  // namespace

#ifdef Q_OS_LINUX

namespace {

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

}  // namespace

std::unique_ptr<NDCPSocket> NDCPSocket::Open(const std::string& localAddress, int receiveBuffer) {
    sockaddr_in local{};
    if (!ToAddress(localAddress, 0, local)) return nullptr;
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0) return nullptr;
    auto socket = std::make_unique<NDCPSocket>(Key{}, descriptor);  // closes it on every failure below
    const int on = 1;
    if (::setsockopt(descriptor, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return nullptr;
    if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return nullptr;
    EnlargeReceiveBuffer(descriptor, receiveBuffer);
    return socket;
}

NDCPSocket::NDCPSocket(Key, int descriptor) : descriptor_(descriptor) {}

NDCPSocket::~NDCPSocket() {
    notifier_.reset();  // before the descriptor it watches goes
    ::close(descriptor_);
}

void NDCPSocket::OnReadable(QObject* context, std::function<void()> handler) {
    readable_ = std::move(handler);
    notifier_ = std::make_unique<QSocketNotifier>(descriptor_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, context, [this] { readable_(); });
}

bool NDCPSocket::Send(std::span<const std::uint8_t> datagram, const std::string& address,
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
struct NDCPSocket::Batch {
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

bool NDCPSocket::HandOut(Batch& batch, const DatagramHandler& handler) {
    while (batch.next < batch.count) {
        const unsigned int i = batch.next++;
        // The handler may run an event loop, in which this socket's own notification does not
        // come again: the wake lets that loop read on, after the rest of this batch.
        PostWake();
        const std::size_t size = batch.messages[i].msg_len;
        if (size > kReceiveBufferSize) continue;
        const std::span<const std::uint8_t> datagram(batch.storage.get() + i * kSlotSize, size);
        if (!handler(datagram, ntohs(batch.senders[i].sin_port))) return false;
    }
    return true;
}

void NDCPSocket::PostWake() {
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

void NDCPSocket::Receive(const DatagramHandler& handler, std::chrono::steady_clock::time_point deadline) {
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
        // The deadline is looked at between batches, so that no taken datagram is left behind.
        if (batch.count < kBatchSize || std::chrono::steady_clock::now() >= deadline) break;
    }
    current_ = outer;
}

int NDCPSocket::ReceiveBufferSize() const {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (::getsockopt(descriptor_, SOL_SOCKET, SO_RCVBUF, &bytes, &length) != 0) return 0;
    return bytes;
}

#else

std::unique_ptr<NDCPSocket> NDCPSocket::Open(const std::string& localAddress, int receiveBuffer) {
    auto udp = std::make_unique<QUdpSocket>();
    if (!udp->bind(QHostAddress(QString::fromStdString(localAddress)), 0)) return nullptr;
    udp->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBuffer);
    return std::make_unique<NDCPSocket>(Key{}, std::move(udp));
}

NDCPSocket::NDCPSocket(Key, std::unique_ptr<QUdpSocket> socket) : socket_(std::move(socket)) {}

NDCPSocket::~NDCPSocket() { socket_->close(); }

void NDCPSocket::OnReadable(QObject* context, std::function<void()> handler) {
    QObject::connect(socket_.get(), &QUdpSocket::readyRead, context,
                     [handler = std::move(handler)] { handler(); });
}

bool NDCPSocket::Send(std::span<const std::uint8_t> datagram, const std::string& address,
                      std::uint16_t port) {
    const QHostAddress to(QString::fromStdString(address));
    if (to.protocol() != QAbstractSocket::IPv4Protocol) return false;
    const qint64 sent = socket_->writeDatagram(reinterpret_cast<const char*>(datagram.data()),
                                               static_cast<qint64>(datagram.size()), to, port);
    return sent == static_cast<qint64>(datagram.size());
}

void NDCPSocket::Receive(const DatagramHandler& handler, std::chrono::steady_clock::time_point deadline) {
    std::array<std::uint8_t, kSlotSize> buffer{};
    while (socket_->hasPendingDatagrams()) {
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 size = socket_->readDatagram(reinterpret_cast<char*>(buffer.data()),
                                                  static_cast<qint64>(buffer.size()), &sender, &senderPort);
        if (size < 0) return;
        if (static_cast<std::size_t>(size) <= kReceiveBufferSize &&
            !handler(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(size)),
                     senderPort)) {
            return;
        }
        // Every successful read re-arms the readiness notification, so what is left now is
        // announced again on the next turn of the event loop.
        if (std::chrono::steady_clock::now() >= deadline) return;
    }
}

int NDCPSocket::ReceiveBufferSize() const {
    return socket_->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
}

#endif

}  // namespace detail
