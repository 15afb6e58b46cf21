#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QStringView>
#include <QTest>
#include <QWidget>

// Types as a person does: each key goes to the control that has the focus at that moment, and what
// the key set off (a posted move of the focus) is handled before the next key. Besides characters,
// "\t" is Tab, "\n" Enter, "\x1b" Esc, "\b" Backspace and "\x16" Ctrl+V (paste). False when no
// control has the focus for a key.
inline bool TypeAsPerson(QStringView keys) {
    for (const QChar key : keys) {
        QWidget* const target = QApplication::focusWidget();
        if (target == nullptr) return false;
        switch (key.unicode()) {
            case u'\t':
                QTest::keyClick(target, Qt::Key_Tab);
                break;
            case u'\n':
                QTest::keyClick(target, Qt::Key_Return);
                break;
            case u'\x1b':
                QTest::keyClick(target, Qt::Key_Escape);
                break;
            case u'\b':
                QTest::keyClick(target, Qt::Key_Backspace);
                break;
            case u'\x16':
                QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
                break;
            default:
                if (key.unicode() < 0x80) {
                    QTest::keyClick(target, static_cast<char>(key.unicode()));
                } else {
                    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(key), Qt::NoModifier);
                }
        }
        QCoreApplication::processEvents();
    }
    return true;
}
