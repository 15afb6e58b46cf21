#include "ndcp/UdpTransport.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

#include <QObject>
#include <QtGlobal>

#include "ndcp/wire/NDCPPacket.h"

#if defined(Q_OS_LINUX) && !defined(OV_PORTABLE_UDP)
#define OV_BATCHED_UDP 1
#include <cerrno>

#include <cstring>

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#else
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QNetworkInterface>
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

int PrefixLength(std::uint32_t netmask) { return static_cast<int>(std::popcount(netmask)); }

// Frees what getifaddrs allocated.
struct InterfaceList {
    ifaddrs* first = nullptr;
    InterfaceList() {
        if (::getifaddrs(&first) != 0) first = nullptr;
    }
    ~InterfaceList() {
        if (first) ::freeifaddrs(first);
    }
    InterfaceList(const InterfaceList&) = delete;
    InterfaceList& operator=(const InterfaceList&) = delete;
};

// The adapter an interface address describes, or none when it is not an IPv4 address of an
// adapter that is up and not loopback.
NetworkAdapter ToAdapter(const ifaddrs& entry) {
    if (!entry.ifa_addr || entry.ifa_addr->sa_family != AF_INET || !entry.ifa_name) return {};
    if ((entry.ifa_flags & IFF_UP) == 0 || (entry.ifa_flags & IFF_LOOPBACK) != 0) return {};
    NetworkAdapter adapter;
    adapter.name = entry.ifa_name;
    adapter.index = ::if_nametoindex(entry.ifa_name);
    adapter.address = ntohl(reinterpret_cast<const sockaddr_in*>(entry.ifa_addr)->sin_addr.s_addr);
    if (entry.ifa_netmask) {
        adapter.prefixLength =
            PrefixLength(ntohl(reinterpret_cast<const sockaddr_in*>(entry.ifa_netmask)->sin_addr.s_addr));
    }
    return adapter;
}

// Room for the IP_PKTINFO control message of one datagram.
constexpr std::size_t kControlSize = CMSG_SPACE(sizeof(in_pktinfo));

// The interface a datagram arrived on, from its IP_PKTINFO control message; 0 without one.
unsigned int ArrivalInterface(const msghdr& header) {
    for (cmsghdr* message = CMSG_FIRSTHDR(&header); message;
         message = CMSG_NXTHDR(const_cast<msghdr*>(&header), message)) {
        if (message->cmsg_level != IPPROTO_IP || message->cmsg_type != IP_PKTINFO) continue;
        if (message->cmsg_len < CMSG_LEN(sizeof(in_pktinfo))) continue;
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(message), sizeof info);
        return info.ipi_ifindex > 0 ? static_cast<unsigned int>(info.ipi_ifindex) : 0;
    }
    return 0;
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
    [[nodiscard]] std::vector<NetworkAdapter> Adapters() const override;
    // Through an adapter, the datagram carries IP_PKTINFO naming the adapter's interface and
    // address: the system then sends even the limited broadcast out of that interface, without a
    // route and without privilege.
    [[nodiscard]] SendFailure Send(std::span<const std::uint8_t> datagram, const std::string& address,
                                   std::uint16_t port, const NetworkAdapter& through) override;
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

std::vector<NetworkAdapter> BatchedUdpTransport::Adapters() const {
    std::vector<NetworkAdapter> adapters;
    const InterfaceList interfaces;
    for (const ifaddrs* entry = interfaces.first; entry; entry = entry->ifa_next) {
        NetworkAdapter adapter = ToAdapter(*entry);
        // An adapter with several addresses is sent through once, from its first.
        const bool seen =
            std::any_of(adapters.begin(), adapters.end(),
                        [&adapter](const NetworkAdapter& other) { return other.index == adapter.index; });
        if (adapter.Known() && !seen) adapters.push_back(std::move(adapter));
    }
    return adapters;
}

Transport::SendFailure BatchedUdpTransport::Send(std::span<const std::uint8_t> datagram,
                                                 const std::string& address, std::uint16_t port,
                                                 const NetworkAdapter& through) {
    sockaddr_in to{};
    if (!ToAddress(address, port, to)) return "not an IPv4 address: " + address;
    iovec buffer{const_cast<std::uint8_t*>(datagram.data()), datagram.size()};
    msghdr header{};
    header.msg_name = &to;
    header.msg_namelen = sizeof to;
    header.msg_iov = &buffer;
    header.msg_iovlen = 1;
    alignas(cmsghdr) std::array<unsigned char, kControlSize> control{};
    if (through.Known()) {
        header.msg_control = control.data();
        header.msg_controllen = control.size();
        cmsghdr* message = CMSG_FIRSTHDR(&header);
        message->cmsg_level = IPPROTO_IP;
        message->cmsg_type = IP_PKTINFO;
        message->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(through.index);
        info.ipi_spec_dst.s_addr = htonl(through.address);
        std::memcpy(CMSG_DATA(message), &info, sizeof info);
    }
    ssize_t sent = 0;
    do {
        sent = ::sendmsg(descriptor_, &header, 0);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) return std::string(std::strerror(errno));
    if (sent != static_cast<ssize_t>(datagram.size())) return std::string("the datagram was cut short");
    return std::nullopt;
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
            messages[i].msg_hdr.msg_control = controls[i].data();
        }
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    std::unique_ptr<std::uint8_t[]> storage;
    std::array<iovec, kBatchSize> vectors{};
    std::array<sockaddr_in, kBatchSize> senders{};
    std::array<mmsghdr, kBatchSize> messages{};
    struct alignas(cmsghdr) Control : std::array<unsigned char, kControlSize> {};
    std::array<Control, kBatchSize> controls{};
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
            ntohl(batch.senders[i].sin_addr.s_addr), ntohs(batch.senders[i].sin_port), localAddress_,
            ArrivalInterface(batch.messages[i].msg_hdr)};
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
        for (mmsghdr& message : batch.messages) {
            message.msg_hdr.msg_namelen = sizeof(sockaddr_in);
            message.msg_hdr.msg_controllen = kControlSize;
        }
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

bool UdpTransportForcesReceiveBuffer() noexcept { return true; }

std::unique_ptr<Transport> OpenUdpTransport(const std::string& localAddress, int receiveBuffer) {
    sockaddr_in local{};
    if (!ToAddress(localAddress, 0, local)) return nullptr;
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0) return nullptr;
    // Closes the descriptor on every failure below.
    auto transport = std::make_unique<BatchedUdpTransport>(descriptor, localAddress);
    const int on = 1;
    if (::setsockopt(descriptor, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return nullptr;
    // Every answer tells the interface it arrived on.
    if (::setsockopt(descriptor, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) return nullptr;
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
    // Qt does not announce readyRead again while its handler runs: a handler that runs an event
    // loop would read nothing more. A posted call of the readiness handler stands in for it.
    void PostWake();

    std::unique_ptr<QUdpSocket> socket_;
    std::string localAddress_;
    std::function<void()> readable_;
    int readingDepth_ = 0;  // readings under way, the innermost last
    bool wakePosted_ = false;
};

void PortableUdpTransport::PostWake() {
    if (wakePosted_) return;
    wakePosted_ = true;
    // Bound to the socket, so that the call is dropped when the transport goes first.
    QMetaObject::invokeMethod(
        socket_.get(),
        [this] {
            wakePosted_ = false;
            if (readingDepth_ > 0 && readable_ && socket_->hasPendingDatagrams()) readable_();
        },
        Qt::QueuedConnection);
}

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
            PostWake();
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

std::unique_ptr<Transport> OpenUdpTransport(const std::string& localAddress, int receiveBuffer) {
    auto udp = std::make_unique<QUdpSocket>();
    if (!udp->bind(QHostAddress(QString::fromStdString(localAddress)), 0)) return nullptr;
    udp->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBuffer);
    return std::make_unique<PortableUdpTransport>(std::move(udp), localAddress);
}

#endif
