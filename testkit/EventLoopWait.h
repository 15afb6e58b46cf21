#pragma once

#include <chrono>
#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>

// Processes events until the condition holds or the time runs out; returns the condition.
inline bool ProcessEventsUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() >= timeoutMs) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

// Processes events for the given time.
inline void ProcessEventsFor(int ms) {
    ProcessEventsUntil([] { return false; }, ms);
}
