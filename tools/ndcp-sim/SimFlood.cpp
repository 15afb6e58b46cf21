#include "ndcp-sim/SimFlood.h"

#include <algorithm>
#include <utility>

#include "ndcp-sim/SimAnswer.h"

namespace ndcpsim {
namespace {

constexpr std::uint64_t kMicrosPerSecond = 1000000;

}  // namespace

std::uint64_t FloodCount(std::chrono::microseconds duration, std::uint32_t rate) noexcept {
    if (duration.count() <= 0) return 0;
    // Datagram i is due at i / rate seconds; those due before the end are sent.
    const std::uint64_t product = static_cast<std::uint64_t>(duration.count()) * rate;
    return (product + kMicrosPerSecond - 1) / kMicrosPerSecond;
}

std::chrono::microseconds FloodDueAt(std::uint64_t index, std::uint32_t rate) noexcept {
    // Rounded up, so that the datagram is never sent ahead of its time.
    return std::chrono::microseconds((index * kMicrosPerSecond + rate - 1) / rate);
}

std::uint64_t FloodDueBy(std::chrono::microseconds elapsed, std::chrono::microseconds duration,
                         std::uint32_t rate) noexcept {
    if (elapsed.count() < 0) return 0;
    const std::uint64_t started = static_cast<std::uint64_t>(elapsed.count()) * rate / kMicrosPerSecond + 1;
    return std::min(started, FloodCount(duration, rate));
}

FloodPick FloodPickAt(std::uint64_t index, std::size_t kinds, std::size_t devices) noexcept {
    return {static_cast<std::size_t>(index % kinds), static_cast<std::size_t>(index / kinds % devices)};
}

SimFlood::SimFlood(FloodSettings settings) : settings_(std::move(settings)) {
    const bool empty = settings_.kinds.empty() || settings_.devices == 0;
    count_ = empty ? 0 : FloodCount(settings_.duration, settings_.rate);
}

bool SimFlood::Aim(const Endpoint& to, const SimRequest& request, Clock::time_point now) {
    target_ = to;
    request_.command = request.command;
    request_.sequence = request.sequence;
    if (state_ != State::kWaiting) return false;
    state_ = State::kRunning;
    start_ = now;
    end_ = now + settings_.duration;
    return true;
}

std::uint64_t SimFlood::Due(Clock::time_point now) {
    if (state_ != State::kRunning) return 0;
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - start_);
    const std::uint64_t due = FloodDueBy(elapsed, settings_.duration, settings_.rate);
    const std::uint64_t limit = std::min(due, count_);
    if (limit > paced_ + kMaxFloodBacklog) paced_ = limit - kMaxFloodBacklog;
    return limit > paced_ ? limit - paced_ : 0;
}

Outgoing SimFlood::Build(std::uint64_t offset, std::span<const SimDevice> devices) const {
    const FloodPick pick = FloodPickAt(handed_ + offset, settings_.kinds.size(), devices.size());
    const MalformedKind kind = settings_.kinds[pick.kind];
    const SimDevice& device = devices[pick.device];
    const AnswerHeader header{request_.command, request_.sequence, kStatusOk, device.mac, kDefaultPassword};
    const std::vector<std::uint8_t> genuine = BuildAnswer(header, DiscoveryArea(device, kDiscoveryPartIds));
    return {pick.device, kStatusOk, AuthResult::kDefault, MalformedKindName(kind),
            BuildMalformed(kind, header, device, genuine)};
}

void SimFlood::Handed(bool sent) noexcept {
    ++paced_;
    ++handed_;
    ++(sent ? sent_ : failed_);
}

bool SimFlood::Finish(Clock::time_point now, bool stopping) noexcept {
    if (state_ != State::kRunning) return false;
    if (!stopping && paced_ < count_ && now < end_) return false;
    state_ = State::kOver;
    return true;
}

SimFlood::Clock::time_point SimFlood::NextDue() const noexcept {
    // The time the datagram one wake step ahead falls due, so that each wake sends a few at high rates.
    const std::uint64_t perStep =
        std::max<std::uint64_t>(1, std::uint64_t{settings_.rate} * kFloodWakeStep.count() / kMicrosPerSecond);
    const std::uint64_t last = std::min(paced_ + perStep, count_);
    if (last <= paced_) return end_;
    return std::min(end_, start_ + FloodDueAt(last - 1, settings_.rate));
}

}  // namespace ndcpsim
