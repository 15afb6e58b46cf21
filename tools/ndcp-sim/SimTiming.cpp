#include "ndcp-sim/SimTiming.h"

namespace ndcpsim {

std::vector<std::chrono::microseconds> AnswerOffsets(std::size_t count, const TimingSettings& timing,
                                                     std::mt19937& random) {
    using std::chrono::microseconds;
    const microseconds delay = std::chrono::milliseconds(timing.delayMs);
    const microseconds gap(timing.burstGapUs);
    std::uniform_int_distribution<std::int64_t> jitter(0, std::int64_t{timing.jitterMs} * 1000);
    std::vector<microseconds> offsets;
    offsets.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const microseconds extra = timing.jitterMs == 0 ? microseconds(0) : microseconds(jitter(random));
        offsets.push_back(delay + extra + gap * static_cast<std::int64_t>(i));
    }
    return offsets;
}

}  // namespace ndcpsim
