#pragma once

#include <chrono>
#include <functional>
#include <memory>

class QObject;

// The time the client reads, its periodic sweep and its waits for events. The system clock runs
// on steady_clock and Qt's timers; a test clock moves only when told.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // A periodic call; it stops when the ticker is destroyed.
    class Ticker {
    public:
        virtual ~Ticker() = default;
    };

    Clock() = default;
    virtual ~Clock() = default;
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    [[nodiscard]] virtual TimePoint Now() const = 0;
    // Calls tick every interval on the event loop of the context, while both live.
    [[nodiscard]] virtual std::unique_ptr<Ticker> Every(std::chrono::milliseconds interval, QObject* context,
                                                        std::function<void()> tick) = 0;
    // Handles the events that are due; when none is, waits for the next one for at most the limit.
    virtual void WaitForEvents(std::chrono::milliseconds limit) = 0;

    // Handles events while the condition holds, for at most the limit of this clock's time.
    // Returns whether the condition still held when the wait ended: the limit ran out, or there is
    // no application object to handle events.
    bool ProcessEventsWhile(const std::function<bool()>& condition, std::chrono::milliseconds limit);
};

// The clock of the running program: steady_clock, QTimer and the event loop's own wait.
[[nodiscard]] Clock& SystemClock();
