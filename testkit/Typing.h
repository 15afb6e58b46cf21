#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QStringView>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <iterator>

// Types as a person does: each key goes to the control that has the focus at that moment, and what
// the key set off (a posted move of the focus) is handled before the next key. Besides characters,
// "\t" is Tab, "\n" Enter, "\x1b" Esc, "\b" Backspace and "\x16" Ctrl+V (paste). False when no
// control has the focus for a key.
inline bool TypeAsPerson(QStringView keys) {
    struct Named {
        char16_t character;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    static constexpr Named kNamed[] = {
        {u'\t', Qt::Key_Tab, Qt::NoModifier},      {u'\n', Qt::Key_Return, Qt::NoModifier},
        {u'\x1b', Qt::Key_Escape, Qt::NoModifier}, {u'\b', Qt::Key_Backspace, Qt::NoModifier},
        {u'\x16', Qt::Key_V, Qt::ControlModifier},
    };
    for (const QChar character : keys) {
        QWidget* const target = QApplication::focusWidget();
        if (target == nullptr) return false;
        const auto named = std::find_if(std::begin(kNamed), std::end(kNamed), [character](const Named& n) {
            return n.character == character.unicode();
        });
        if (named != std::end(kNamed)) {
            QTest::keyClick(target, named->key, named->modifiers);
        } else if (character.unicode() < 0x80) {
            QTest::keyClick(target, static_cast<char>(character.unicode()));
        } else {
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(character), Qt::NoModifier);
        }
        QCoreApplication::processEvents();
    }
    return true;
}
