#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <queue>
#include <random>
#include <vector>

#include "ndcp-sim/SimAddress.h"
#include "ndcp-sim/SimFlood.h"
#include "ndcp-sim/SimLog.h"
#include "ndcp-sim/SimOptions.h"
#include "ndcp-sim/SimResponder.h"
#include "ndcp-sim/SimReturnPath.h"
#include "ndcp-sim/SimTiming.h"

namespace ndcpsim {

// Owns a file descriptor and closes it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept;
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();

    [[nodiscard]] int Get() const noexcept { return fd_; }

private:
    int fd_ = -1;
};

// Blocks SIGINT and SIGTERM for the process and reports them through a descriptor instead; the
// previous signal mask comes back on destruction.
class SignalWatch {
public:
    SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;
    ~SignalWatch();

    [[nodiscard]] int Fd() const noexcept { return fd_.Get(); }

private:
    sigset_t previous_{};
    UniqueFd fd_;
};

// A bound UDP socket, its local address and the send buffer size the kernel granted.
struct BoundSocket {
    UniqueFd fd;
    Endpoint local;
    int sendBuffer = 0;
};

// The simulator's socket loop: receives requests, lets the responder answer them, and sends the
// answers at their time from the bound port, together with the flood's datagrams when one runs.
// An answer goes to the requester's address, or as the limited broadcast out of the interface the
// request came in on when the system has no route to the requester (ChooseForm).
class SimServer {
public:
    // Opens and binds the socket; raises OvException when that fails.
    SimServer(const SimOptions& options, std::vector<SimDevice> devices, LogSink& log);

    // Runs until SIGINT, SIGTERM or the --exit-after time, then logs the summary and returns its counts.
    Counters Run();

    [[nodiscard]] Endpoint Local() const noexcept { return socket_.local; }

private:
    using Clock = std::chrono::steady_clock;

    struct Scheduled {
        Clock::time_point due;
        std::uint64_t order = 0;
        Endpoint to;
        ReturnPath path;
        SimRequest request;  // command and sequence only, for the log
        Outgoing outgoing;
        bool flood = false;  // built by the flood: not queued, not logged
    };
    struct Later {
        bool operator()(const Scheduled& a, const Scheduled& b) const noexcept {
            return a.due != b.due ? a.due > b.due : a.order > b.order;
        }
    };
    enum class SendState { kIdle, kWaitWritable, kRetrySoon };

    void ReceiveSome();
    void HandleDatagram(std::span<const std::uint8_t> datagram, const Endpoint& from, const Arrival& arrival);
    void Schedule(const SimRequest& request, const Endpoint& to, const ReturnPath& path,
                  std::vector<Outgoing> datagrams);
    SendState SendDue();
    void TakeDue(Clock::time_point now, std::vector<Scheduled>& batch);
    std::size_t AddFlood(Clock::time_point now, std::size_t room, std::vector<Scheduled>& batch);
    std::optional<SendState> SendBatch(std::vector<Scheduled>& batch);
    // The address the device's answers to a requester leave from (network order).
    [[nodiscard]] in_addr_t SourceOf(std::size_t device) const;
    void LogSent(const Scheduled& item, std::string_view failure);
    void CountFlood(bool sent);
    void FinishFlood(bool stopping);
    [[nodiscard]] std::optional<Clock::time_point> NextWake(SendState state, Clock::time_point now) const;

    const SimOptions& options_;
    LogSink& log_;
    SimResponder responder_;
    std::optional<SimFlood> flood_;
    BoundSocket socket_;
    std::optional<Clock::time_point> stopAt_;
    std::priority_queue<Scheduled, std::vector<Scheduled>, Later> queue_;
    std::uint64_t nextOrder_ = 0;
    std::mt19937 random_;
    Counters counters_;
    std::vector<std::uint8_t> receiveBuffer_;
};

}  // namespace ndcpsim
