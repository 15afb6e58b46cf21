#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ndcp/wire/NetworkAdapter.h"

class QObject;

// One datagram as a transport hands it out: its bytes, its source (IPv4 address in host order,
// and port), the endpoint that received it (the local address the transport is bound to) and the
// interface index of the adapter it arrived on (0 when unknown). Valid during the call only.
struct ReceivedDatagram {
    std::span<const std::uint8_t> bytes;
    std::uint32_t sourceAddress = 0;
    std::uint16_t sourcePort = 0;
    std::string_view endpoint;
    unsigned int adapterIndex = 0;
};

// A datagram endpoint bound to one local address: what the client sends and receives through.
// Readiness is reported on the event loop of the thread that opened it.
class Transport {
public:
    // Told each datagram; returns false to stop the reading at once (the transport may be gone).
    using DatagramHandler = std::function<bool(const ReceivedDatagram& datagram)>;
    // Asked between datagrams (or batches of them) whether the reading should leave the rest for
    // the next readiness notification.
    using TimeUp = std::function<bool()>;

    Transport() = default;
    virtual ~Transport() = default;
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Calls the handler on the event loop of the context whenever datagrams are waiting.
    virtual void OnReadable(QObject* context, std::function<void()> handler) = 0;
    // The system's reason a send failed.
    using SendFailure = std::optional<std::string>;

    // The adapters that are up and have an IPv4 address, loopback excluded, as they are now.
    [[nodiscard]] virtual std::vector<NetworkAdapter> Adapters() const = 0;
    // Sends one datagram through the adapter (out of its interface, from its address), or along
    // the system's route when the adapter is none. Gives the reason when the address is not an
    // IPv4 address or the send failed, nothing on success.
    [[nodiscard]] virtual SendFailure Send(std::span<const std::uint8_t> datagram, const std::string& address,
                                           std::uint16_t port, const NetworkAdapter& through) = 0;
    // Hands the waiting datagrams to the handler in order of arrival, until none is left, the
    // handler returns false, or the time is up. A datagram longer than an answer
    // (kReceiveBufferSize) is dropped unseen. A handler may run an event loop that reads on; the
    // order of arrival holds all the same.
    virtual void Receive(const DatagramHandler& handler, const TimeUp& timeUp) = 0;
    // The receive buffer size the system granted, in bytes.
    [[nodiscard]] virtual int ReceiveBufferSize() const = 0;
    // The local address the endpoint is bound to.
    [[nodiscard]] virtual const std::string& LocalAddress() const = 0;
};

// Opens a transport bound to a local address (a system-chosen port) asking for a receive buffer
// of the given size; null when it cannot be set up. One per local address may be open at once.
using TransportFactory =
    std::function<std::unique_ptr<Transport>(const std::string& localAddress, int receiveBuffer)>;
