#include "binding/UiHooks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <memory>

namespace {

TEST(UiHooksTest, InnerHooksWinAndEmptyOnesFallBack) {
    std::vector<std::string> calls;
    {
        ScopedUiHooks outer(UiHooks{[&calls](int f, int d) {
                                        calls.push_back("outer beep " + std::to_string(f) + "/" +
                                                        std::to_string(d));
                                    },
                                    [&calls](QWidget*, const QString&, const QString& t) {
                                        calls.push_back("outer box " + t.toStdString());
                                    },
                                    [&calls](QWidget*) { calls.push_back("outer focus"); }});
        {
            ScopedUiHooks inner(UiHooks{{},
                                        [&calls](QWidget*, const QString&, const QString& t) {
                                            calls.push_back("inner box " + t.toStdString());
                                        },
                                        {}});
            Beep(1000, 200);
            ShowMessageBox(nullptr, "hello");
            PostFocusNext(nullptr);
        }
        ShowMessageBox(nullptr, "again");
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"outer beep 1000/200", "inner box hello", "outer focus",
                                               "outer box again"}));
}

TEST(UiHooksTest, FocusMoveIsPostedAndSurvivesAVanishedWindow) {
    QWidget window;
    auto* const first = new QLineEdit(&window);
    auto* const second = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    first->setFocus();
    PostFocusNext(&window);
    EXPECT_EQ(QApplication::focusWidget(), first);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), second);

    auto doomed = std::make_unique<QWidget>();
    PostFocusNext(doomed.get());
    doomed.reset();
    QCoreApplication::processEvents();  // nothing to move: no crash
}

}  // namespace
