#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>
#include <QPointer>

#include "ndcp/Clock.h"
#include "ndcp/NetworkSetting.h"
#include "ndcp/OvNDCPCallback.h"
#include "ndcp/Transport.h"
#include "ndcp/wire/NDCPPacket.h"
#include "vars/LocaleSettings.h"
#include "vars/OvNDCPVarList.h"

// The receive buffer a client asks its transport for, in bytes: room for what arrives while the
// event loop is busy, such as while a synchronous discovery hands thousands of collected answers
// to the list. The kernel doubles the 16 MiB for its own accounting and charges a small datagram
// some 800 bytes, so about 40,000 fit. Only a privileged process gets more than the system's
// limit; the others keep what it grants.
inline constexpr int kClientReceiveBuffer = 16 * 1024 * 1024;

// What a client reaches the world through: where its transport comes from and the receive buffer
// it asks for, where requests go and answers come from, and the clock it reads. The defaults are
// the UDP transport, the process-wide network setting and the system clock; tests give an
// in-memory transport and a manual clock, benchmarks a smaller buffer, as a stock system grants.
struct ClientEnvironment {
    TransportFactory openTransport;
    NDCPNetworkSetting network;
    Clock* clock = nullptr;  // outlives the client
    int receiveBuffer = kClientReceiveBuffer;
};

// The UDP transport, NetworkSetting() as it is now and the system clock.
[[nodiscard]] ClientEnvironment RealEnvironment();

namespace detail {

// One request sent and not yet finished.
struct NDCPReqData {
    std::uint8_t Sequence = 0;
    MacBytes MacAddress{};
    std::string MacText;  // MacAddress as the completion record carries it, worked out once
    std::string Password;
    std::uint8_t Command = 0;
    OvNDCPVarList VarList;  // answers are decoded into this copy
    OvNDCPCallback Callback;
    Clock::TimePoint Deadline;
    std::vector<NetworkAdapter> Adapters;  // those it left through; none known along the system's route
    bool Done = false;
};

}  // namespace detail

// The one protocol endpoint: the transport, the sequence counter and the pending requests.
// Everything runs on the thread of its owner's event loop: answers arrive through the transport's
// readiness notification, time-outs are found by a 20 ms sweep of the clock that runs only while
// a request is pending, and callbacks are never called from within SendRequest.
//
// A request to the limited broadcast leaves once through every adapter that is up with an IPv4
// address, found anew at each send, or through the one adapter its device was heard on; a request
// to any other destination leaves once along the system's route.
class OvNDCPClient : public QObject {
    Q_OBJECT

public:
    static constexpr int kSweepIntervalMs = 20;
    static constexpr int kDestructionWaitMs = 6000;
    static constexpr int kRequestedReceiveBuffer = kClientReceiveBuffer;
    static constexpr int kReadBudgetMs = 5;

    // Opens the transport; raises kSocketNotReady when it cannot be set up.
    explicit OvNDCPClient(QObject* owner, ClientEnvironment environment = RealEnvironment());
    ~OvNDCPClient() override;

    // Sends one request and returns the sequence number used: the counter's value, or the next
    // one that no pending request holds, so that every answer finds its own request. The request
    // leaves through the given adapter, or through every adapter when it is none. Raises
    // kBadMacAddress, kBadCommandType, the value encoder's errors, kSocketReadWriteError (no
    // adapter, or the send failed on every one: LastSends() tells which and why), and kNotDone
    // when all 256 numbers are pending; on any of them nothing is pending and the counter is
    // unchanged.
    std::uint8_t SendRequest(std::string_view macText, std::string_view password, const OvNDCPVarList& vars,
                             std::uint8_t command, OvNDCPCallback callback, std::int32_t timeout,
                             const NetworkAdapter& through = {});

    // The adapters a request to the limited broadcast leaves through now (see the class comment);
    // none without a transport.
    [[nodiscard]] std::vector<NetworkAdapter> Adapters() const;

    // The adapters the last request was sent through, with the failures; empty when the last
    // request to the limited broadcast found no adapter.
    [[nodiscard]] const std::vector<AdapterSend>& LastSends() const noexcept { return lastSends_; }

    // Handles one received datagram: the checks, the match with a pending request, decoding and
    // completion. Malformed or unexpected datagrams are dropped silently.
    void ReceiveAnswer(const ReceivedDatagram& datagram);
    // The sweep: completes at most one timed-out request, the earliest sent.
    void CheckTimeouts();

    [[nodiscard]] std::uint8_t Sequence() const noexcept { return sequence_; }
    [[nodiscard]] std::size_t PendingCount() const noexcept { return pending_.size(); }
    [[nodiscard]] bool HasSocket() const noexcept { return transport_ != nullptr; }
    [[nodiscard]] Clock& GetClock() const noexcept { return *clock_; }
    // The receive buffer size the system granted, in bytes.
    [[nodiscard]] int ReceiveBufferSize() const;

    // How long destruction waits for pending requests; kDestructionWaitMs unless a test shortens it.
    void SetDestructionWait(std::chrono::milliseconds limit) noexcept { destructionWait_ = limit; }

    [[nodiscard]] const LocaleSettings& Locale() const noexcept { return locale_; }
    void SetLocale(const LocaleSettings& locale) { locale_ = locale; }

private:
    void OpenTransport(const TransportFactory& open, int receiveBuffer);
    // Handles the datagrams waiting on the transport, one full handling each, for at most
    // kReadBudgetMs; the rest waits for the next readiness notification, so that timers and
    // repaints keep their turn during a burst of answers.
    void ReadPendingDatagrams();
    // The sequence number for the next send; raises kNotDone when every number is pending.
    [[nodiscard]] std::uint8_t FreeSequence() const;
    // The adapters a request through the given one leaves by (see the class comment).
    [[nodiscard]] std::vector<NetworkAdapter> Route(const NetworkAdapter& through) const;
    // Sends the datagram along the route into lastSends_; the adapters it left through.
    std::vector<NetworkAdapter> SendAlong(const std::vector<NetworkAdapter>& route,
                                          std::span<const std::uint8_t> datagram);
    detail::NDCPReqData* FindPending(std::uint8_t sequence);
    void Complete(detail::NDCPReqData& record, int code, const NetworkAdapter& heardOn = {});
    void StartSweep();
    // Stops the sweep once nothing is pending, after the current tick has returned.
    void StopSweepWhenIdle();

    std::uint8_t sequence_ = 0;
    std::list<std::unique_ptr<detail::NDCPReqData>> pending_;
    NDCPNetworkSetting network_;
    Clock* clock_;
    std::unique_ptr<Clock::Ticker> sweep_;  // null while nothing is pending
    std::vector<AdapterSend> lastSends_;
    std::unique_ptr<Transport> transport_;  // null without a transport
    LocaleSettings locale_;
    std::chrono::milliseconds destructionWait_{kDestructionWaitMs};
};

// Creates the one client with the given owner (which destroys it) and empties both texts of the
// default device. Errors of the construction propagate.
void StartClient(QObject* owner, ClientEnvironment environment = RealEnvironment());

// The client created by StartClient, or null before it or after its owner destroyed it.
[[nodiscard]] OvNDCPClient* ClientInstance();

// The clock of the client, or the system clock without one.
[[nodiscard]] Clock& ClientClock();
