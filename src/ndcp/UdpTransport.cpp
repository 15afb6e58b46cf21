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
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stop_token>
#include <system_error>
#include <thread>

#include <QPointer>
#include <QSocketNotifier>
#include <QtDebug>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
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
constexpr unsigned int kBatchSize = 32;

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

// Closes a descriptor of the system at the end of its owner.
class Descriptor {
public:
    explicit Descriptor(int descriptor) noexcept : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) ::close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int Get() const noexcept { return descriptor_; }

private:
    int descriptor_;
};

// The datagrams that one recvmmsg call takes.
struct Batch {
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

    // Takes what is waiting, up to a batch, without waiting; the count taken, 0 for none.
    unsigned int Take(int descriptor) {
        for (mmsghdr& message : messages) {
            message.msg_hdr.msg_namelen = sizeof(sockaddr_in);
            message.msg_hdr.msg_controllen = kControlSize;
        }
        int count = 0;
        do {
            count = ::recvmmsg(descriptor, messages.data(), kBatchSize, MSG_DONTWAIT, nullptr);
        } while (count < 0 && errno == EINTR);
        return count > 0 ? static_cast<unsigned int>(count) : 0;
    }

    std::unique_ptr<std::uint8_t[]> storage;
    std::array<iovec, kBatchSize> vectors{};
    std::array<sockaddr_in, kBatchSize> senders{};
    std::array<mmsghdr, kBatchSize> messages{};
    struct alignas(cmsghdr) Control : std::array<unsigned char, kControlSize> {};
    std::array<Control, kBatchSize> controls{};
};

// Datagrams taken from the socket and not yet handed out, in order of arrival, their bytes end to
// end; cleared, it keeps its storage for the next ones.
class DatagramQueue {
public:
    [[nodiscard]] bool Empty() const noexcept { return next_ == entries_.size(); }
    [[nodiscard]] std::size_t Size() const noexcept { return entries_.size() - next_; }
    // The bytes of all it holds, those handed out included.
    [[nodiscard]] std::size_t ByteCount() const noexcept { return bytes_.size(); }

    void Append(const Batch& batch, unsigned int count) {
        for (unsigned int i = 0; i < count; ++i) {
            const std::size_t size = batch.messages[i].msg_len;
            const std::uint8_t* const bytes = batch.storage.get() + i * kSlotSize;
            entries_.push_back({bytes_.size(), size, ntohl(batch.senders[i].sin_addr.s_addr),
                                ntohs(batch.senders[i].sin_port),
                                ArrivalInterface(batch.messages[i].msg_hdr)});
            bytes_.insert(bytes_.end(), bytes, bytes + size);
        }
    }

    // Copies the next datagram into the slot and passes over it: what the slot now holds stays
    // valid whatever happens to the queue.
    [[nodiscard]] ReceivedDatagram TakeInto(std::span<std::uint8_t, kSlotSize> slot,
                                            std::string_view endpoint) {
        const Entry& entry = entries_[next_++];
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(entry.offset), entry.size, slot.begin());
        return {slot.first(entry.size), entry.sourceAddress, entry.sourcePort, endpoint, entry.adapterIndex};
    }

    void Clear() noexcept {
        entries_.clear();
        bytes_.clear();
        next_ = 0;
    }

    void Swap(DatagramQueue& other) noexcept {
        entries_.swap(other.entries_);
        bytes_.swap(other.bytes_);
        std::swap(next_, other.next_);
    }

private:
    struct Entry {
        std::size_t offset;  // of its bytes in bytes_
        std::size_t size;
        std::uint32_t sourceAddress;
        std::uint16_t sourcePort;
        unsigned int adapterIndex;
    };

    std::vector<Entry> entries_;
    std::vector<std::uint8_t> bytes_;
    std::size_t next_ = 0;  // the first not yet handed out
};

// Moves datagrams from the socket into memory on a thread of its own, so that what arrives while
// the event loop is busy waits in memory rather than overflowing the socket's buffer, which a
// stock system keeps to some 500 small datagrams. It only moves them: every check and every
// handling stays on the event loop's thread, in order of arrival. Past kQueueLimit datagrams or
// kQueueByteLimit bytes in memory it stops taking until the event loop has caught up, and the
// socket's buffer fills as it would without it.
class SocketReader {
public:
    static constexpr std::size_t kQueueLimit = 65536;
    static constexpr std::size_t kQueueByteLimit = 16 * 1024 * 1024;
    // While datagrams keep coming, the reader lets them gather this long between takes rather
    // than wake for each: at 100,000 a second some 20 datagrams a take, far below the 500 that a
    // stock socket buffer holds (and less than the system delivers in that time even at full
    // speed), and 5,000 wakes a second instead of up to 100,000, which would take a core of
    // their own.
    static constexpr std::chrono::microseconds kGatherTime{200};
    // The time slice the reader asks for (see AskForShortSlices).
    static constexpr std::chrono::microseconds kShortSlice{100};

    // Starts the thread, which reads the socket and is woken by the event counter stopSignal (an
    // eventfd, which it closes) to stop; `added` is called on it whenever datagrams were added.
    // Raises std::system_error when the thread cannot be started.
    SocketReader(int socket, int stopSignal, std::function<void()> added)
        : socket_(socket), stopSignal_(stopSignal), added_(std::move(added)) {
        thread_ = std::jthread([this](const std::stop_token& stop) { Run(stop); });
    }
    // Stops the thread and waits for it.
    ~SocketReader() {
        thread_.request_stop();
        thread_.join();
    }
    SocketReader(const SocketReader&) = delete;
    SocketReader& operator=(const SocketReader&) = delete;

    // Hands all that was taken so far over to an empty queue, which gives its storage in return.
    void HandOver(DatagramQueue& empty) {
        {
            const std::scoped_lock lock(mutex_);
            empty.Swap(taken_);
        }
        roomFreed_.notify_one();
    }

private:
    void Run(const std::stop_token& stop) {
        const std::stop_callback wakeFromPoll(stop, [this] {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(stopSignal_.Get(), &one, sizeof one);
        });
        // Named, so that the system's tools tell it from the event loop's thread.
        ::pthread_setname_np(::pthread_self(), "ov-udp-reader");
        AskForShortSlices();
        Batch batch;
        while (!stop.stop_requested()) {
            std::array<pollfd, 2> waiting = {pollfd{socket_, POLLIN, 0},
                                             pollfd{stopSignal_.Get(), POLLIN, 0}};
            if (::poll(waiting.data(), waiting.size(), -1) < 0) {
                if (errno == EINTR) continue;
                qCritical("The socket's reader stops: poll failed: %s", std::strerror(errno));
                return;
            }
            // The first datagram is handed over at once; those behind it are taken in gathers.
            while (TakeWaiting(batch, stop) && !stop.stop_requested()) Pause(kGatherTime);
        }
    }

    // A thread that asks for short time slices is run sooner after it wakes when the cores are
    // busy (Linux 6.12 on; earlier kernels keep their own slices). It needs no privilege and
    // keeps the thread's priority: what it changes is how soon the reader takes what arrived,
    // which a full socket buffer cannot wait for.
    static void AskForShortSlices() {
        // The system's sched_attr (linux/sched/types.h), which the C library's headers clash with.
        struct {
            std::uint32_t size;
            std::uint32_t sched_policy;
            std::uint64_t sched_flags;
            std::int32_t sched_nice;
            std::uint32_t sched_priority;
            std::uint64_t sched_runtime;
            std::uint64_t sched_deadline;
            std::uint64_t sched_period;
        } attributes{};
        attributes.size = sizeof attributes;
        attributes.sched_policy = SCHED_OTHER;
        errno = 0;
        attributes.sched_nice = ::getpriority(PRIO_PROCESS, 0);
        attributes.sched_runtime = std::chrono::nanoseconds(kShortSlice).count();
        if (errno == 0 && ::syscall(SYS_sched_setattr, 0, &attributes, 0) != 0) {
            qInfo("The socket's reader keeps the system's time slices: %s", std::strerror(errno));
        }
    }

    // Waits that long, or less when the reader is stopped.
    void Pause(std::chrono::microseconds time) const {
        pollfd stopping{stopSignal_.Get(), POLLIN, 0};
        const timespec timeout{0, std::chrono::nanoseconds(time).count()};
        ::ppoll(&stopping, 1, &timeout, nullptr);
    }

    // Takes what is waiting on the socket, batch by batch, while there is room; whether it took any.
    bool TakeWaiting(Batch& batch, const std::stop_token& stop) {
        bool took = false;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                const auto room = [this] {
                    return taken_.Size() < kQueueLimit && taken_.ByteCount() < kQueueByteLimit;
                };
                if (!roomFreed_.wait(lock, stop, room)) return took;
            }
            const unsigned int count = batch.Take(socket_);
            if (count == 0) return took;
            took = true;
            {
                const std::scoped_lock lock(mutex_);
                taken_.Append(batch, count);
            }
            added_();
            if (count < kBatchSize) return took;
        }
    }

    int socket_;
    Descriptor stopSignal_;
    std::function<void()> added_;
    std::mutex mutex_;
    std::condition_variable_any roomFreed_;
    DatagramQueue taken_;  // guarded by mutex_
    std::jthread thread_;
};

// The system's own socket, read in batches with recvmmsg by a reader thread.
class BatchedUdpTransport final : public Transport {
public:
    BatchedUdpTransport(int descriptor, std::string localAddress)
        : socket_(descriptor), localAddress_(std::move(localAddress)) {}
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

    Descriptor socket_;
    std::string localAddress_;
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
    const int stopSignal = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopSignal < 0 || addedSignal_.Get() < 0) {
        if (stopSignal >= 0) ::close(stopSignal);
        qWarning("No event counters for the socket's reader: %s", std::strerror(errno));
        return false;
    }
    addedNotifier_ = std::make_unique<QSocketNotifier>(addedSignal_.Get(), QSocketNotifier::Read);
    QObject::connect(addedNotifier_.get(), &QSocketNotifier::activated, &waker_, [this] { Added(); });
    try {
        reader_ = std::make_unique<SocketReader>(socket_.Get(), stopSignal, [this] { SignalAdded(); });
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
        sent = ::sendmsg(socket_.Get(), &header, 0);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) return std::string(std::strerror(errno));
    if (sent != static_cast<ssize_t>(datagram.size())) return std::string("the datagram was cut short");
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
    auto transport = std::make_unique<BatchedUdpTransport>(descriptor, localAddress);
    const int on = 1;
    if (::setsockopt(descriptor, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return nullptr;
    // Every answer tells the interface it arrived on.
    if (::setsockopt(descriptor, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0) return nullptr;
    if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return nullptr;
    EnlargeReceiveBuffer(descriptor, receiveBuffer);
    if (!transport->StartReader()) return nullptr;
    return transport;
}

#else

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
    // Qt does not announce readyRead again while its handler runs: a handler that runs an event
    // loop would read nothing more. A posted call of the readiness handler stands in for it.
    void PostWake();

    std::unique_ptr<QUdpSocket> socket_;
    std::string localAddress_;
    // Receives the posted calls; they go with it.
    QObject waker_;
    std::function<void()> readable_;
    int readingDepth_ = 0;  // readings under way, the innermost last
    bool wakePosted_ = false;
};

void PortableUdpTransport::PostWake() {
    if (wakePosted_) return;
    wakePosted_ = true;
    // Bound to the transport's own object, so that the call is dropped when the transport goes.
    QMetaObject::invokeMethod(
        &waker_,
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

bool UdpTransportHasReader() noexcept { return false; }

std::unique_ptr<Transport> OpenUdpTransport(const std::string& localAddress, int receiveBuffer) {
    auto udp = std::make_unique<QUdpSocket>();
    if (!udp->bind(QHostAddress(QString::fromStdString(localAddress)), 0)) return nullptr;
    udp->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBuffer);
    return std::make_unique<PortableUdpTransport>(std::move(udp), localAddress);
}

#endif
