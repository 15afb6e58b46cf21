#include "binding/UiHooks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
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
                                    [&calls](QWidget*) { calls.push_back("outer focus"); },
                                    [&calls](QWidget*, const QString&, const QString& t) {
                                        calls.push_back("outer question " + t.toStdString());
                                        return true;
                                    }});
        {
            ScopedUiHooks inner(UiHooks{{},
                                        [&calls](QWidget*, const QString&, const QString& t) {
                                            calls.push_back("inner box " + t.toStdString());
                                        },
                                        {},
                                        {}});
            Beep(1000, 200);
            ShowMessageBox(nullptr, "hello");
            PostFocusNext(nullptr);
            EXPECT_TRUE(AskYesNo(nullptr, "sure?"));
        }
        ShowMessageBox(nullptr, "again");
    }
    EXPECT_EQ(calls, (std::vector<std::string>{"outer beep 1000/200", "inner box hello", "outer focus",
                                               "outer question sure?", "outer box again"}));
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

// A box takes its window's font, which a window does not pass on by itself, and is wide enough for
// the program's name in its title bar even when its text is short.
TEST(UiHooksTest, MessageBoxesTakeTheWindowsFontAndFitTheirCaption) {
    QWidget window;
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(11);
    window.setFont(font);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("a-rather-long-program-name"), QStringLiteral("Ok!"),
                    QMessageBox::Ok, &window);
    const int bareWidth = box.sizeHint().width();
    DressMessageBox(box, &window);
    box.show();
    EXPECT_EQ(box.font(), font);
    QFont title = font;
    title.setBold(true);
    EXPECT_GT(box.width(), QFontMetrics(title).horizontalAdvance(box.windowTitle()) + 40);
    EXPECT_GT(box.width(), bareWidth);
}

}  // namespace
