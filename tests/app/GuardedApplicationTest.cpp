// The program's application object, made by each test as the program makes it: the process has
// no other.
#include "app/GuardedApplication.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "binding/UiHooks.h"
#include "errors/Messages.h"

namespace {

// Fails on every user event: with an error of the program, or with something else thrown.
class FailingReceiver : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) RaiseNDCPError(kBadPacket);
        if (event->type() == QEvent::User + 1) throw 7;
        return QObject::event(event);
    }
};

class GuardedApplicationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qputenv("QT_QPA_PLATFORM", "offscreen"); }

    std::array<char*, 5> argv = {const_cast<char*>("orvalan-config"), const_cast<char*>("-reverse"),
                                 const_cast<char*>("-qwindowtitle"), const_cast<char*>("other"),
                                 const_cast<char*>("extra")};
    int argc = static_cast<int>(argv.size());
};

TEST_F(GuardedApplicationTest, QtTakesNoOptionsFromTheCommandLine) {
    const GuardedApplication application(argc, argv.data());
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(QCoreApplication::arguments(), QStringList({"orvalan-config"}));
}

TEST_F(GuardedApplicationTest, ErrorsThatEscapeAHandlerAreShownAndTheProgramGoesOn) {
    GuardedApplication application(argc, argv.data());
    std::vector<QString> boxes;
    const ScopedUiHooks hooks(UiHooks{
        {}, [&boxes](QWidget*, const QString&, const QString& text) { boxes.push_back(text); }, {}, {}});
    FailingReceiver receiver;
    bool wentOn = false;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&receiver, new QEvent(static_cast<QEvent::Type>(QEvent::User + 1)));
    QMetaObject::invokeMethod(
        &receiver,
        [&wentOn] {
            wentOn = true;
            QCoreApplication::exit(3);
        },
        Qt::QueuedConnection);
    QTimer::singleShot(5000, &receiver, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(GuardedApplication::exec(), 3);
    EXPECT_TRUE(wentOn);
    EXPECT_EQ(boxes, (std::vector<QString>{"Bad packet!", "Unknown error!"}));
}

}  // namespace
