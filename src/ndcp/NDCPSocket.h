#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include <QtGlobal>

class QObject;
class QSocketNotifier;
class QUdpSocket;

namespace detail {

// The client's UDP socket: IPv4, broadcast allowed, bound to a local address with a port the
// system chooses, with as large a receive buffer as the system grants. Readiness is reported on
// the event loop of the thread that opened it. On Linux the socket is the system's own, read in
// batches with recvmmsg; elsewhere it is a QUdpSocket.
class NDCPSocket {
public:
    // Told each datagram with its source port; returns false to stop the reading at once (the
    // socket may be gone by then).
    using DatagramHandler =
        std::function<bool(std::span<const std::uint8_t> datagram, std::uint16_t sourcePort)>;

    // Only Open constructs.
    struct Key {
        explicit Key() = default;
    };

    // None when the socket cannot be created, allowed to broadcast, or bound to the address.
    [[nodiscard]] static std::unique_ptr<NDCPSocket> Open(const std::string& localAddress, int receiveBuffer);

#ifdef Q_OS_LINUX
    NDCPSocket(Key, int descriptor);
#else
    NDCPSocket(Key, std::unique_ptr<QUdpSocket> socket);
#endif
    ~NDCPSocket();
    NDCPSocket(const NDCPSocket&) = delete;
    NDCPSocket& operator=(const NDCPSocket&) = delete;

    // Calls the handler on the event loop whenever datagrams are waiting.
    void OnReadable(QObject* context, std::function<void()> handler);

    // Sends one datagram; false when the address is not an IPv4 address or the send failed.
    [[nodiscard]] bool Send(std::span<const std::uint8_t> datagram, const std::string& address,
                            std::uint16_t port);

    // Hands the waiting datagrams to the handler in order of arrival, until none is left, the
    // handler returns false, or the deadline has passed (looked at after every 16 datagrams on
    // Linux, after every datagram elsewhere). A datagram longer than the answer buffer
    // (kReceiveBufferSize) is dropped unseen. A failed read ends the reading. A handler may run an
    // event loop that reads on; the order of arrival holds all the same.
    void Receive(const DatagramHandler& handler, std::chrono::steady_clock::time_point deadline);

    // The receive buffer size the system granted, in bytes.
    [[nodiscard]] int ReceiveBufferSize() const;

private:
#ifdef Q_OS_LINUX
    struct Batch;

    // Hands out the datagrams of the batch not yet handed out; false when the handler stopped.
    bool HandOut(Batch& batch, const DatagramHandler& handler);
    // Datagrams taken from the system but not yet handed out no longer make the socket readable:
    // a posted call of the readiness handler stands in for that, so that an event loop run by a
    // handler still gets them.
    void PostWake();

    int descriptor_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> readable_;
    Batch* current_ = nullptr;  // the batch the innermost reading is handing out
    bool wakePosted_ = false;
#else
    std::unique_ptr<QUdpSocket> socket_;
#endif
};

}  // namespace detail
