#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ndcp-sim/SimAddress.h"
#include "ndcp-sim/SimDevice.h"
#include "ndcp-sim/SimMalformed.h"
#include "ndcp-sim/SimRequest.h"
#include "ndcp-sim/SimResponder.h"

namespace ndcpsim {

// Flood datagrams allowed to wait past their time. A process that falls further behind leaves the
// older ones out rather than sending them all in one burst.
inline constexpr std::uint64_t kMaxFloodBacklog = 1024;
// The flood wakes the loop about this often and sends what fell due since, instead of waking for
// every datagram at high rates.
inline constexpr std::chrono::microseconds kFloodWakeStep{1000};

// Datagrams of a flood lasting duration at rate per second: the first at the start, then one every
// 1/rate seconds while the duration lasts.
[[nodiscard]] std::uint64_t FloodCount(std::chrono::microseconds duration, std::uint32_t rate) noexcept;

// When the datagram at index (from 0) falls due, counted from the flood's start.
[[nodiscard]] std::chrono::microseconds FloodDueAt(std::uint64_t index, std::uint32_t rate) noexcept;

// How many datagrams have fallen due by elapsed since the start: 0 before it, at most FloodCount.
[[nodiscard]] std::uint64_t FloodDueBy(std::chrono::microseconds elapsed, std::chrono::microseconds duration,
                                       std::uint32_t rate) noexcept;

// The malformed kind and the device of the datagram at index. The kinds cycle fastest, then the
// devices, so that each device gets every kind in turn.
struct FloodPick {
    std::size_t kind = 0;
    std::size_t device = 0;
};
[[nodiscard]] FloodPick FloodPickAt(std::uint64_t index, std::size_t kinds, std::size_t devices) noexcept;

struct FloodSettings {
    std::chrono::microseconds duration{0};
    std::uint32_t rate = 1;
    std::vector<MalformedKind> kinds;
    std::size_t devices = 0;
};

// Unsolicited malformed datagrams for a time, evenly paced, aimed at the sender of the latest request
// read and built on its command and sequence. The flood keeps the pace and the round-robin position
// and builds the datagrams; the server sends them and reports back.
class SimFlood {
public:
    using Clock = std::chrono::steady_clock;

    explicit SimFlood(FloodSettings settings);

    // Aims at the sender of a request that was read. The first call starts the flood and returns true;
    // later ones only change the aim, also after the end.
    bool Aim(const Endpoint& to, const SimRequest& request, Clock::time_point now);

    // Datagrams due by now and not handed over yet, at most kMaxFloodBacklog; any older ones are
    // left out for good. 0 unless running.
    [[nodiscard]] std::uint64_t Due(Clock::time_point now);

    // The datagram offset places after the next one due, built against devices (the ones the flood
    // was made for, with their current values). Status 0 and the default password, as a genuine
    // Discover answer of the device has them.
    [[nodiscard]] Outgoing Build(std::uint64_t offset, std::span<const SimDevice> devices) const;

    // Records that the next datagram went out, or that the socket refused it for good.
    void Handed(bool sent) noexcept;

    // Ends a running flood whose time is up or whose datagrams have all been handed over, or any
    // running flood when stopping. True when this call ended it.
    bool Finish(Clock::time_point now, bool stopping) noexcept;

    [[nodiscard]] bool Running() const noexcept { return state_ == State::kRunning; }
    // When a running flood next has datagrams to send, at most its end.
    [[nodiscard]] Clock::time_point NextDue() const noexcept;
    [[nodiscard]] Clock::time_point End() const noexcept { return end_; }
    [[nodiscard]] const Endpoint& Target() const noexcept { return target_; }
    [[nodiscard]] const SimRequest& Request() const noexcept { return request_; }
    [[nodiscard]] std::uint64_t Sent() const noexcept { return sent_; }
    [[nodiscard]] std::uint64_t Failed() const noexcept { return failed_; }

private:
    enum class State { kWaiting, kRunning, kOver };

    FloodSettings settings_;
    std::uint64_t count_ = 0;
    State state_ = State::kWaiting;
    Clock::time_point start_;
    Clock::time_point end_;
    Endpoint target_;
    SimRequest request_;        // command and sequence only
    std::uint64_t paced_ = 0;   // datagrams handed over or left out: the pace's position
    std::uint64_t handed_ = 0;  // datagrams handed over: the round-robin position
    std::uint64_t sent_ = 0;
    std::uint64_t failed_ = 0;
};

}  // namespace ndcpsim
