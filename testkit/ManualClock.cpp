#include "testkit/ManualClock.h"

#include <algorithm>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

class ManualClock::EntryTicker final : public Clock::Ticker {
public:
    EntryTicker(std::weak_ptr<ManualClock*> clock, std::uint64_t id) : clock_(std::move(clock)), id_(id) {}
    ~EntryTicker() override {
        const auto clock = clock_.lock();
        if (!clock) return;
        auto& entries = (*clock)->entries_;
        std::erase_if(entries, [this](const auto& entry) { return entry.second.first == id_; });
    }

private:
    std::weak_ptr<ManualClock*> clock_;
    std::uint64_t id_;
};

// Far from the epoch, so that no time point before the start underflows.
ManualClock::ManualClock()
    : now_(TimePoint{} + std::chrono::hours(1)), self_(std::make_shared<ManualClock*>(this)) {}

ManualClock::~ManualClock() = default;

void ManualClock::Schedule(TimePoint due, std::uint64_t id, Entry entry) {
    entries_.emplace(due, std::make_pair(id, std::move(entry)));
}

std::unique_ptr<Clock::Ticker> ManualClock::Every(std::chrono::milliseconds interval, QObject* context,
                                                  std::function<void()> tick) {
    const std::uint64_t id = nextId_++;
    Schedule(now_ + interval, id, Entry{interval, context, context != nullptr, std::move(tick)});
    return std::make_unique<EntryTicker>(self_, id);
}

void ManualClock::After(std::chrono::milliseconds delay, std::function<void()> action) {
    Schedule(now_ + delay, nextId_++,
             Entry{std::chrono::milliseconds::zero(), nullptr, false, std::move(action)});
}

bool ManualClock::FireNextDueBy(TimePoint until) {
    if (entries_.empty() || entries_.begin()->first > until) return false;
    auto node = entries_.extract(entries_.begin());
    now_ = std::max(now_, node.key());
    auto [id, entry] = std::move(node.mapped());
    if (entry.hasContext && entry.context.isNull()) return true;  // its object is gone: dropped
    const std::function<void()> action = entry.action;
    if (entry.interval > std::chrono::milliseconds::zero())
        Schedule(now_ + entry.interval, id, std::move(entry));
    action();
    return true;
}

void ManualClock::Advance(std::chrono::milliseconds by) {
    const TimePoint until = now_ + by;
    while (FireNextDueBy(until)) QCoreApplication::sendPostedEvents();
    now_ = until;
}

void ManualClock::WaitForEvents(std::chrono::milliseconds limit) {
    // Posted events and ready notifications first; a real wait would have ended with them. Events
    // that keep coming (a repeating zero timer) still let the clock move now and then.
    constexpr int kMostBusyPasses = 100;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (dispatcher && dispatcher->processEvents(QEventLoop::AllEvents) && ++busyPasses_ < kMostBusyPasses)
        return;
    busyPasses_ = 0;
    const TimePoint until = now_ + limit;
    if (!FireNextDueBy(until)) now_ = until;
}

bool ManualClock::RunUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const TimePoint end = now_ + limit;
    while (!condition()) {
        if (now_ >= end) return condition();
        WaitForEvents(std::chrono::ceil<std::chrono::milliseconds>(end - now_));
    }
    return true;
}
