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

#include "ndcp/PostedCall.h"
#include "ndcp/SocketGroup.h"
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

// Room for the IP_PKTINFO control message of a datagram sent through an adapter.
constexpr std::size_t kSendControlSize = CMSG_SPACE(sizeof(in_pktinfo));

// The system's own sockets, read in batches with recvmmsg by a reader thread. What is sent
// through an adapter leaves from a group of sockets of that adapter's own, on the same port: each
// adapter's answers then have receive buffers of their own, however many devices answer on the
// others.
class BatchedUdpTransport final : public Transport {
public:
    BatchedUdpTransport(SocketGroup own, std::string localAddress, int receiveBuffer)
        : own_(std::move(own)), localAddress_(std::move(localAddress)), receiveBuffer_(receiveBuffer) {}
    ~BatchedUdpTransport() override;

    // Starts the reader on the transport's own sockets; false when it cannot be started.
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
    // The socket to send through the adapter from: the first of its own, opened the first time, or
    // the transport's own when the adapter is none or cannot have its own.
    int SocketFor(const NetworkAdapter& through);
    // Its group, empty when it cannot have one; the reader reads it.
    SocketGroup OpenAdapterGroup(const NetworkAdapter& adapter);
    void Read(const SocketGroup& group, unsigned int adapterIndex);

    SocketGroup own_;
    std::string localAddress_;
    int receiveBuffer_;
    std::map<unsigned int, SocketGroup> adapterGroups_;  // by interface index
    // The reader tells the event loop's thread through this event counter alone: the datagrams
    // themselves pass under the reader's lock, nothing of Qt is used across the threads.
    Descriptor addedSignal_{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
    std::atomic<bool> addedSignalled_ = false;
    std::unique_ptr<QSocketNotifier> addedNotifier_;
    // Receives the notifications on the event loop's thread; they go with it.
    QObject waker_;
    QPointer<QObject> context_;
    std::function<void()> readable_;
    // A call of the readiness handler on the event loop, for what is left or arrived before.
    PostedCall readAgain_{[this] { CallReadable(); }};
    DatagramQueue handing_;  // on the event loop's thread only
    std::unique_ptr<SocketReader> reader_;
};

BatchedUdpTransport::~BatchedUdpTransport() {
    // Before anything it uses goes: the event counters, the sockets.
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
        reader_ = std::make_unique<SocketReader>(readerWake, [this] { SignalAdded(); });
    } catch (const std::system_error& e) {
        qWarning("The socket's reader did not start: %s", e.what());
        return false;
    }
    Read(own_, 0);
    return true;
}

void BatchedUdpTransport::Read(const SocketGroup& group, unsigned int adapterIndex) {
    for (const Descriptor& socket : group.sockets) reader_->AddSocket(socket.Get(), adapterIndex);
}

void BatchedUdpTransport::OnReadable(QObject* context, std::function<void()> handler) {
    context_ = context;
    readable_ = std::move(handler);
    // What arrived before is waiting too.
    readAgain_.Post();
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
    if (!through.Known()) return own_.First();
    auto found = adapterGroups_.find(through.index);
    if (found == adapterGroups_.end())
        found = adapterGroups_.emplace(through.index, OpenAdapterGroup(through)).first;
    return found->second.Empty() ? own_.First() : found->second.First();
}

SocketGroup BatchedUdpTransport::OpenAdapterGroup(const NetworkAdapter& adapter) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    SocketGroup group;
    std::optional<std::string> failure;
    if (::getsockname(own_.First(), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        failure = std::string("getsockname: ") + std::strerror(errno);
    } else {
        failure = OpenSocketGroup(local, adapter.index, receiveBuffer_, group);
    }
    if (failure) {
        // Its answers then reach the transport's own sockets, as they would without.
        qInfo("No sockets of its own for %s: %s", adapter.name.c_str(), failure->c_str());
        return {};
    }
    Read(group, adapter.index);
    return group;
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
        readAgain_.Post();
        if (datagram.bytes.size() > kReceiveBufferSize) continue;
        // A false handler means the transport may be gone: nothing of it is touched any more.
        if (!handler(datagram)) return;
        if (timeUp()) break;
    }
    // What is left waits for the next call; a wake asked for before a nested event loop may have
    // been taken there.
    if (!handing_.Empty()) readAgain_.Post();
}

int BatchedUdpTransport::ReceiveBufferSize() const {
    int bytes = 0;
    socklen_t length = sizeof bytes;
    if (::getsockopt(own_.First(), SOL_SOCKET, SO_RCVBUF, &bytes, &length) != 0) return 0;
    return bytes;
}

}  // namespace

bool UdpTransportForcesReceiveBuffer() noexcept { return true; }

bool UdpTransportHasReader() noexcept { return true; }

std::unique_ptr<Transport> OpenUdpTransport(const std::string& localAddress, int receiveBuffer) {
    sockaddr_in local{};
    if (!ToAddress(localAddress, 0, local)) return nullptr;
    SocketGroup own;
    if (const auto failure = OpenSocketGroup(local, 0, receiveBuffer, own)) {
        qWarning("No socket on %s: %s", localAddress.c_str(), failure->c_str());
        return nullptr;
    }
    auto transport = std::make_unique<BatchedUdpTransport>(std::move(own), localAddress, receiveBuffer);
    if (!transport->StartReader()) return nullptr;
    return transport;
}
