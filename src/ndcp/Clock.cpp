#include "ndcp/Clock.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

class TimerTicker final : public Clock::Ticker {
public:
    TimerTicker(std::chrono::milliseconds interval, QObject* context, std::function<void()> tick) {
        timer_.setInterval(interval);
        QObject::connect(&timer_, &QTimer::timeout, context, std::move(tick));
        timer_.start();
    }

private:
    QTimer timer_;
};

class SteadyClock final : public Clock {
public:
    [[nodiscard]] TimePoint Now() const override { return std::chrono::steady_clock::now(); }

    [[nodiscard]] std::unique_ptr<Ticker> Every(std::chrono::milliseconds interval, QObject* context,
                                                std::function<void()> tick) override {
        return std::make_unique<TimerTicker>(interval, context, std::move(tick));
    }

    void WaitForEvents(std::chrono::milliseconds limit) override {
        // processEvents with a time limit never sleeps (it drops WaitForMoreEvents); a timer due
        // at the limit wakes the sleeping one instead.
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(limit);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
};

}  // namespace

bool Clock::ProcessEventsWhile(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const TimePoint end = Now() + limit;
    while (condition()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Now());
        if (left <= std::chrono::milliseconds::zero() || !QCoreApplication::instance()) return true;
        WaitForEvents(left);
    }
    return false;
}

Clock& SystemClock() {
    static SteadyClock clock;
    return clock;
}
