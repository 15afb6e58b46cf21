#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include <QPointer>

#include "ndcp/Clock.h"

// A clock that moves only when told. Advance moves it on, calling the tickers and one-shot calls
// that fall due on the way at their own time. A wait for events handles what is posted and, when
// nothing was, moves the clock on to the next call due (at most the wait's limit), so that a
// synchronous command runs to its time-out at once, without sleeping or spinning.
class ManualClock final : public Clock {
public:
    ManualClock();
    ~ManualClock() override;

    [[nodiscard]] TimePoint Now() const override { return now_; }
    [[nodiscard]] std::unique_ptr<Ticker> Every(std::chrono::milliseconds interval, QObject* context,
                                                std::function<void()> tick) override;
    void WaitForEvents(std::chrono::milliseconds limit) override;

    // Calls the action once, when the clock has moved on by the delay.
    void After(std::chrono::milliseconds delay, std::function<void()> action);
    // Moves the clock on, handling posted events after each call that falls due.
    void Advance(std::chrono::milliseconds by);
    // The timers and delayed calls scheduled: 0 when nothing would wake the program.
    [[nodiscard]] std::size_t ScheduledCount() const { return entries_.size(); }
    // Handles events and moves the clock on until the condition holds or the clock has moved on by
    // the limit; returns the condition.
    bool RunUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);
    // Moves the clock on by the time, handling events as a running program would.
    void RunFor(std::chrono::milliseconds time) {
        RunUntil([] { return false; }, time);
    }

private:
    struct Entry {
        std::chrono::milliseconds interval;  // zero for a one-shot call
        QPointer<QObject> context;
        bool hasContext = false;
        std::function<void()> action;
    };
    class EntryTicker;

    void Schedule(TimePoint due, std::uint64_t id, Entry entry);
    // Calls the earliest entry due by the time, if any; false when none is.
    bool FireNextDueBy(TimePoint until);

    TimePoint now_;
    std::uint64_t nextId_ = 0;
    std::multimap<TimePoint, std::pair<std::uint64_t, Entry>> entries_;
    int busyPasses_ = 0;                  // waits in a row that handled events without the clock moving
    std::shared_ptr<ManualClock*> self_;  // lets tickers outlive the clock safely
};
