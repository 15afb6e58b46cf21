#include "ndcp/EventWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

bool ProcessEventsWhile(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    QElapsedTimer waited;
    waited.start();
    while (condition()) {
        const std::chrono::milliseconds left = limit - std::chrono::milliseconds(waited.elapsed());
        if (left <= std::chrono::milliseconds::zero() || !QCoreApplication::instance()) return true;
        // processEvents with a time limit never sleeps (it drops WaitForMoreEvents); a timer due
        // at the limit wakes the sleeping one instead.
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        wake.start(left);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return false;
}
