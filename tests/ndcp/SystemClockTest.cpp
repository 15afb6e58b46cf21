#include "ndcp/Clock.h"

#include <chrono>

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include "testkit/ProcessorTime.h"

namespace {

using std::chrono::milliseconds;

TEST(SystemClockTest, WaitSleepsUntilTheLimitOrTheEventThatEndsIt) {
    struct Case {
        const char* name;
        int eventAfterMs;  // when an event clears the condition, or -1 for never
        milliseconds limit;
        bool expected;  // what the wait returns: whether the condition still holds
        qint64 minMs, maxMs;
    };
    const Case cases[] = {
        {"limit runs out", -1, milliseconds(150), true, 150, 600},
        {"event ends the wait", 30, milliseconds(5000), false, 30, 600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool holds = true;
        QTimer event;
        event.setSingleShot(true);
        event.setTimerType(Qt::PreciseTimer);
        QObject::connect(&event, &QTimer::timeout, [&holds] { holds = false; });
        if (c.eventAfterMs >= 0) event.start(c.eventAfterMs);
        QElapsedTimer wall;
        wall.start();
        const milliseconds processorBefore = ProcessorTimeUsed();
        EXPECT_EQ(SystemClock().ProcessEventsWhile([&holds] { return holds; }, c.limit), c.expected);
        const milliseconds processor = ProcessorTimeUsed() - processorBefore;
        const qint64 waited = wall.elapsed();
        EXPECT_GE(waited, c.minMs);
        EXPECT_LT(waited, c.maxMs);
        EXPECT_LT(processor.count(), waited / 10) << "processor time " << processor.count() << " ms";
    }
}

}  // namespace
