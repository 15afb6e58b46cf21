#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace ndcpsim {

struct TimingSettings {
    std::uint32_t delayMs = 0;
    std::uint32_t jitterMs = 0;
    std::uint32_t burstGapUs = 0;
};

// When each of count datagrams answering one request leaves, counted from the request's arrival:
// the delay, plus a random 0 to jitter milliseconds drawn for each datagram, plus index times the
// burst gap.
[[nodiscard]] std::vector<std::chrono::microseconds> AnswerOffsets(std::size_t count,
                                                                   const TimingSettings& timing,
                                                                   std::mt19937& random);

}  // namespace ndcpsim
