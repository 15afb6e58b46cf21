#include "binding/OvEdit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <algorithm>
#include <utility>

namespace {

bool IsModifierKey(int key) {
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_AltGr;
}

// The Paste action of a line edit's standard context menu: its text is the edit's translated
// "&Paste", followed by a tab and the shortcut where the menu shows shortcuts.
QAction* PasteActionOf(const QMenu& menu) {
    const QString paste = QLineEdit::tr("&Paste");
    for (QAction* const action : menu.actions()) {
        if (action->text().section(QLatin1Char('\t'), 0, 0) == paste) return action;
    }
    return nullptr;
}

}  // namespace

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

void OvEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    justEntered_ = true;
    enteredByAdvance_ = false;
}

void OvEdit::MarkEnteredByAdvance() noexcept { enteredByAdvance_ = justEntered_; }

bool OvEdit::event(QEvent* event) {
    // Tab moves the focus before the key reaches keyPressEvent.
    if (event->type() == QEvent::KeyPress && justEntered_ && enteredByAdvance_) {
        const auto* const key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
            justEntered_ = false;
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

bool OvEdit::DropsOnEntry(const QKeyEvent& event) const {
    if (droppedOnEntry_.isNull() || event.text() != QString(droppedOnEntry_)) return false;
    return text().isEmpty() || selectedText() == text();
}

void OvEdit::keyPressEvent(QKeyEvent* event) {
    // Shift and the like come before the character they make and leave the edit just entered.
    const bool entering = std::exchange(justEntered_, justEntered_ && IsModifierKey(event->key()));
    if (entering && DropsOnEntry(*event)) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste) && OfferClipboard(QClipboard::Clipboard)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

bool OvEdit::OfferClipboard(QClipboard::Mode mode) {
    if (!onPaste_) return false;
    const QClipboard* const clipboard = QGuiApplication::clipboard();
    if (mode == QClipboard::Selection && !clipboard->supportsSelection()) return false;
    // A copy, so that a handler may replace itself while it runs.
    const PasteHandler handler = onPaste_;
    return handler(*this, clipboard->text(mode));
}

void OvEdit::contextMenuEvent(QContextMenuEvent* event) {
    if (!onPaste_) {
        QLineEdit::contextMenuEvent(event);
        return;
    }
    // The standard menu, whose Paste first offers the text to the handler.
    QMenu* const menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (QAction* const pasteAction = PasteActionOf(*menu)) {
        // Qt's own connection from the action to this edit is its paste; this one replaces it.
        disconnect(pasteAction, nullptr, this, nullptr);
        connect(pasteAction, &QAction::triggered, this, [this] {
            if (!OfferClipboard(QClipboard::Clipboard)) paste();
        });
    }
    menu->popup(event->globalPos());
}

void OvEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton && OfferClipboard(QClipboard::Selection)) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void OvEdit::dropEvent(QDropEvent* event) {
    const PasteHandler handler = onPaste_;
    if (handler && event->mimeData()->hasText() && handler(*this, event->mimeData()->text())) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dropEvent(event);
}

void OvEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    const Handler handler = onExit_;
    if (handler) handler(*this);
}
