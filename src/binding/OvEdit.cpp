#include "OvEdit.h"

#include <QFocusEvent>

OvEdit::OvEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &OvEdit::RunChangeHandler);
}

void OvEdit::SetMaxLen(int maxLen) { setMaxLength(maxLen > 0 ? maxLen : kNoLengthLimit); }

int OvEdit::MaxLen() const { return maxLength() == kNoLengthLimit ? 0 : maxLength(); }

void OvEdit::RunChangeHandler() {
    // A copy, so that a handler may replace itself while it runs.
    const Handler handler = onChange_;
    if (handler) handler(*this);
}

void OvEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    const Handler handler = onExit_;
    if (handler) handler(*this);
}
