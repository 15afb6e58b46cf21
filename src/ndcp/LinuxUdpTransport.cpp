#include "ndcp/UdpTransport.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <utility>

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QtDebug>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ndcp/SocketReader.h"

namespace {

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

// Privileged processes may go past the system's limit; the others keep what SO_RCVBUF grants.
void EnlargeReceiveBuffer(int descriptor, int bytes) {
    if (::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0) return;
    ::setsockopt(descriptor, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

// Room for the IP_PKTINFO control message of a datagram sent through an adapter.
constexpr std::size_t kSendControlSize = CMSG_SPACE(sizeof(in_pktinfo));

// The system's reason a step of a socket's set-up failed.
std::string Failure(const char* step) { return std::string(step) + ": " + std::strerror(errno); }

// Prepares a socket to send broadcasts and to tell of every datagram the interface and time of its
// arrival, with as large a receive buffer as it is granted.
std::optional<std::string> Prepare(int socket, int receiveBuffer) {
    const int on = 1;
    if (::setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return Failure("SO_BROADCAST");
    if (::setsockopt(socket, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) return Failure("IP_PKTINFO");
    if (::setsockopt(socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0)
        return Failure("SO_TIMESTAMPNS");
    EnlargeReceiveBuffer(socket, receiveBuffer);
    return std::nullopt;
}

// Lets the socket's port be shared, by sockets of this user alone. Asked for after a bind that lets
// the system choose the port: before, the system may choose one that another socket of the user
// shares already.
std::optional<std::string> SharePort(int socket) {
    const int on = 1;
    if (::setsockopt(socket, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on) != 0) return Failure("SO_REUSEPORT");
    return std::nullopt;
}

std::optional<std::string> Bind(int socket, const sockaddr_in& local) {
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return Failure("bind");
    return std::nullopt;
}

// Binds a prepared socket to the transport's local address and port and to one adapter's interface,
// whose datagrams it then receives in place of the transport's own socket.
std::optional<std::string> BindToAdapter(int socket, const sockaddr_in& local, unsigned int adapterIndex) {
    if (auto failure = SharePort(socket)) return failure;
    const int index = static_cast<int>(adapterIndex);
    if (::setsockopt(socket, SOL_SOCKET, SO_BINDTOIFINDEX, &index, sizeof index) != 0) {
        return Failure("SO_BINDTOIFINDEX");
    }
    return Bind(socket, local);
}

// The system's own socket, read in batches with recvmmsg by a reader thread. What is sent through
// an adapter leaves from a socket of that adapter's own, on the same port: each adapter's answers
// then have a receive buffer of their own, however many devices answer on the others.
class BatchedUdpTransport final : public Transport {
public:
    BatchedUdpTransport(int descriptor, std::string localAddress, int receiveBuffer)
        : socket_(descriptor), localAddress_(std::move(localAddress)), receiveBuffer_(receiveBuffer) {}
    ~BatchedUdpTransport() override;

    // Starts the reader; false when it cannot be started.
    [[nodiscard]] bool StartReader();

    // The handler is called whenever the reader has added datagrams, and through a posted call
    // when some are left over.
    void OnReadable(QObject* context, std::function<void()> handler) override;
    [[nodiscard]] std::vector<NetworkAdapter> Adapters() const override;
    // Through an adapter, the datagram carries IP_PKTINFO naming the adapter's interface and
    // address: the system then sends even the limited broadcast out of that interface, without a
    // route and without privilege.
    [[nodiscard]] SendFailure Send(std::span<const std::uint8_t> datagram, const std::string& address,
                                   std::uint16_t port, const NetworkAdapter& through) override;
    // The time is looked at after every datagram.
    void Receive(const DatagramHandler& handler, const TimeUp& timeUp) override;
    [[nodiscard]] int ReceiveBufferSize() const override;
    [[nodiscard]] const std::string& LocalAddress() const override { return localAddress_; }

private:
    // Fills the empty queue of datagrams to hand out from the reader; false when nothing is waiting.
    bool Refill();
    // On the reader's thread: makes addedSignal_ readable, unless it is already.
    void SignalAdded();
    // The reader's signal seen: clears it and calls the readiness handler.
    void Added();
    void CallReadable();
    // Asks for a call of the readiness handler on the event loop, unless one is asked for already.
    void PostWake();
    // The socket to send through the adapter from: its own, opened the first time, or the
    // transport's own when the adapter is none or cannot have one.
    int SocketFor(const NetworkAdapter& through);
    std::optional<Descriptor> OpenAdapterSocket(const NetworkAdapter& adapter) const;

    Descriptor socket_;
    std::string localAddress_;
    int receiveBuffer_;
    // By interface index; an adapter that could not have one maps to none.
    std::map<unsigned int, std::optional<Descriptor>> adapterSockets_;
    // The reader tells the event loop's thread through this event counter alone: the datagrams
    // themselves pass under the reader's lock, nothing of Qt is used across the threads.
    Descriptor addedSignal_{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::atomic<bool> addedSignalled_ = false;
    std::unique_ptr<QSocketNotifier> addedNotifier_;
    // Receives the notifications and the posted calls on the event loop's thread; they go with it.
    QObject waker_;
    QPointer<QObject> context_;
    std::function<void()> readable_;
    bool wakePosted_ = false;
    DatagramQueue handing_;  // on the event loop's thread only
    std::unique_ptr<SocketReader> reader_;
};

BatchedUdpTransport::~BatchedUdpTransport() {
    // Before anything it uses goes: the event counters, the socket.
    reader_.reset();
}

bool BatchedUdpTransport::StartReader() {
    const int readerWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (readerWake < 0 || addedSignal_.Get() < 0) {
        if (readerWake >= 0) ::close(readerWake);
        qWarning("No event counters for the socket's reader: %s", std::strerror(errno));
        return false;
    }
    addedNotifier_ = std::make_unique<QSocketNotifier>(addedSignal_.Get(), QSocketNotifier::Read);
    QObject::connect(addedNotifier_.get(), &QSocketNotifier::activated, &waker_, [this] { Added(); });
    try {
        reader_ = std::make_unique<SocketReader>(socket_.Get(), readerWake, [this] { SignalAdded(); });
    } catch (const std::system_error& e) {
        qWarning("The socket's reader did not start: %s", e.what());
        return false;
    }
    return true;
}

void BatchedUdpTransport::OnReadable(QObject* context, std::function<void()> handler) {
    context_ = context;
    readable_ = std::move(handler);
    // What arrived before is waiting too.
    PostWake();
}

void BatchedUdpTransport::SignalAdded() {
    if (addedSignalled_.exchange(true)) return;
    const std::uint64_t one = 1;
    // Cannot fail while the counter is far from its limit: it is cleared at every notification.
    [[maybe_unused]] const ssize_t written = ::write(addedSignal_.Get(), &one, sizeof one);
}

void BatchedUdpTransport::Added() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(addedSignal_.Get(), &count, sizeof count);
    // Cleared before the datagrams are taken: those added from now on signal again.
    addedSignalled_ = false;
    CallReadable();
}

void BatchedUdpTransport::CallReadable() {
    if (context_ && readable_) readable_();
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
    alignas(cmsghdr) std::array<unsigned char, kSendControlSize> control{};
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
    const int socket = SocketFor(through);
    ssize_t sent = 0;
    do {
        sent = ::sendmsg(socket, &header, 0);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) return std::string(std::strerror(errno));
    if (sent != static_cast<ssize_t>(datagram.size())) return std::string("the datagram was cut short");
    return std::nullopt;
}

int BatchedUdpTransport::SocketFor(const NetworkAdapter& through) {
    if (!through.Known()) return socket_.Get();
    auto found = adapterSockets_.find(through.index);
    if (found == adapterSockets_.end()) {
        found = adapterSockets_.emplace(through.index, OpenAdapterSocket(through)).first;
        if (found->second) reader_->AddAdapterSocket(found->second->Get(), through.index);
    }
    return found->second ? found->second->Get() : socket_.Get();
}

std::optional<Descriptor> BatchedUdpTransport::OpenAdapterSocket(const NetworkAdapter& adapter) const {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) return std::nullopt;
    Descriptor socket(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    std::optional<std::string> failure =
        socket.Get() < 0 ? Failure("socket") : Prepare(socket.Get(), receiveBuffer_);
    if (!failure) failure = BindToAdapter(socket.Get(), local, adapter.index);
    if (!failure) return socket;
    // Its answers then share the transport's own socket, as they would without.
    qInfo("No socket of its own for %s: %s", adapter.name.c_str(), failure->c_str());
    return std::nullopt;
}

void BatchedUdpTransport::PostWake() {
    if (wakePosted_) return;
    wakePosted_ = true;
    QMetaObject::invokeMethod(
        &waker_,
        [this] {
            wakePosted_ = false;
            CallReadable();
        },
        Qt::QueuedConnection);
}

bool BatchedUdpTransport::Refill() {
    handing_.Clear();
    reader_->HandOver(handing_);
    return !handing_.Empty();
}

// A reading nested in a handler (a callback that runs an event loop) goes on with the same queue,
// so that no datagram overtakes another; each reading hands out its own copy of a datagram.
void BatchedUdpTransport::Receive(const DatagramHandler& handler, const TimeUp& timeUp) {
    std::array<std::uint8_t, kSlotSize> slot;
    for (;;) {
        if (handing_.Empty() && !Refill()) return;
        const ReceivedDatagram datagram = handing_.TakeInto(slot, localAddress_);
        // The handler may run an event loop: the wake lets that loop read on.
        PostWake();
        if (datagram.bytes.size() > kReceiveBufferSize) continue;
        // A false handler means the transport may be gone: nothing of it is touched any more.
        if (!handler(datagram)) return;
        if (timeUp()) break;
    }
    // What is left waits for the next call; a wake asked for before a nested event loop may have
    // been taken there.
    if (!handing_.Empty()) PostWake();
}

int BatchedUdpTransport::ReceiveBufferSize() const {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (::getsockopt(socket_.Get(), SOL_SOCKET, SO_RCVBUF, &bytes, &length) != 0) return 0;
    return bytes;
}

}  // namespace

bool UdpTransportForcesReceiveBuffer() noexcept { return true; }

bool UdpTransportHasReader() noexcept { return true; }

std::unique_ptr<Transport> OpenUdpTransport(const std::string& localAddress, int receiveBuffer) {
    sockaddr_in local{};
    if (!ToAddress(localAddress, 0, local)) return nullptr;
    const int descriptor = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0) return nullptr;
    // Closes the descriptor on every failure below.
    auto transport = std::make_unique<BatchedUdpTransport>(descriptor, localAddress, receiveBuffer);
    if (Prepare(descriptor, receiveBuffer) || Bind(descriptor, local) || SharePort(descriptor))
        return nullptr;
    if (!transport->StartReader()) return nullptr;
    return transport;
}
