#include "binding/OvEdit.h"

#include <QFocusEvent>
#include <algorithm>

// Qt's own maximum length would also cut every text the program sets (setText), so the limit is
// a validator instead, which Qt asks about each change of the text.
class OvEdit::TypedLengthLimit : public QValidator {
public:
    explicit TypedLengthLimit(OvEdit& edit) : QValidator(&edit), edit_(edit) {}

    State validate(QString& input, int& pos) const override { return edit_.LimitTyped(input, pos); }

private:
    const OvEdit& edit_;
};

OvEdit::OvEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &OvEdit::RunChangeHandler);
}

void OvEdit::SetMaxLen(int maxLen) {
    maxLen_ = std::max(maxLen, 0);
    if (maxLen_ > 0 && limit_ == nullptr) {
        limit_ = new TypedLengthLimit(*this);  // owned by the edit
        setValidator(limit_);
    }
}

QValidator::State OvEdit::LimitTyped(QString& text, int& cursor) const {
    // setText starts a new undo history, so a change that cannot be undone is the program's; one
    // that can be redone is an undo, back to a text the edit held before. Both are kept.
    if (maxLen_ <= 0 || !isUndoAvailable() || isRedoAvailable()) return QValidator::Acceptable;
    const qsizetype excess = text.size() - std::max<qsizetype>(maxLen_, shownText_.size());
    if (excess <= 0) return QValidator::Acceptable;
    // What the user added ends at the cursor: its end goes, as much as the limit needs.
    if (excess > cursor) return QValidator::Invalid;
    QString kept = text;
    kept.remove(cursor - excess, excess);
    // Nothing of it fits: refused, and Qt restores the text without reporting a change.
    if (kept == shownText_) return QValidator::Invalid;
    text = kept;
    cursor -= static_cast<int>(excess);
    return QValidator::Acceptable;
}

void OvEdit::RunChangeHandler() {
    shownText_ = text();
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
