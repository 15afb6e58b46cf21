#pragma once

#include <QClipboard>
#include <QLineEdit>
#include <QValidator>
#include <functional>

// A single-line edit with one assignable text-change handler, one assignable focus-loss handler
// and an integer tag. A handler is a plain value: the current one can be read, kept, called from a
// replacement and put back.
class OvEdit : public QLineEdit {
    Q_OBJECT

public:
    using Handler = std::function<void(OvEdit& edit)>;
    // Offered the text the user pastes or drops before the edit inserts it; true when it has put the
    // text where it belongs, and the edit then inserts nothing.
    using PasteHandler = std::function<bool(OvEdit& edit, const QString& text)>;

    explicit OvEdit(QWidget* parent = nullptr);

    // Runs after every change of the text, whether typed or set by the program.
    [[nodiscard]] const Handler& OnChange() const noexcept { return onChange_; }
    void SetOnChange(Handler handler) { onChange_ = std::move(handler); }

    // Runs when the focus moves from the edit to another control. Deactivating the whole window
    // (another application, a popup or a message box taking over) is no focus loss.
    [[nodiscard]] const Handler& OnExit() const noexcept { return onExit_; }
    void SetOnExit(Handler handler) { onExit_ = std::move(handler); }

    [[nodiscard]] int Tag() const noexcept { return tag_; }
    void SetTag(int tag) noexcept { tag_ = tag; }

    // The maximum length in characters of what the user types, pastes or drops; 0 means no limit.
    // A text the program sets is kept whole, however long: the user can then shorten it but not
    // lengthen it.
    void SetMaxLen(int maxLen);
    [[nodiscard]] int MaxLen() const noexcept { return maxLen_; }

    // A character that is dropped, changing nothing, when it is the first key typed after the edit
    // received the focus and the edit holds no text it would keep (it is empty, or all of it is
    // selected). A field's advance character is one: typed right after a full field has moved the
    // focus on, it belongs to the field left. QChar() for none.
    [[nodiscard]] QChar DroppedOnEntry() const noexcept { return droppedOnEntry_; }
    void SetDroppedOnEntry(QChar c) noexcept { droppedOnEntry_ = c; }

    // Tells an edit that the focus has just come to it by an automatic advance (a full field moving
    // it on): a Tab typed first is then dropped, as it was meant to leave the field just filled, which
    // the advance has done already. Nothing once a key has been typed in the edit.
    void MarkEnteredByAdvance() noexcept;

    // Pasting (the paste key, the context menu, the middle button's selection) and dropping text
    // offer it to this handler first.
    [[nodiscard]] const PasteHandler& OnPaste() const noexcept { return onPaste_; }
    void SetOnPaste(PasteHandler handler) { onPaste_ = std::move(handler); }

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    class TypedLengthLimit;

    void RunChangeHandler();
    [[nodiscard]] bool DropsOnEntry(const QKeyEvent& event) const;
    // Offers the clipboard's text to the paste handler; true when the handler took it.
    bool OfferClipboard(QClipboard::Mode mode);
    // The validator's judgement of a changed text: what the user added beyond the limit goes.
    [[nodiscard]] QValidator::State LimitTyped(QString& text, int& cursor) const;

    Handler onChange_;
    Handler onExit_;
    PasteHandler onPaste_;
    QChar droppedOnEntry_;
    bool justEntered_ = false;       // no key typed since the edit received the focus
    bool enteredByAdvance_ = false;  // and the focus came by an automatic advance
    int tag_ = 0;
    int maxLen_ = 0;
    TypedLengthLimit* limit_ = nullptr;  // owned by the edit, as its child
    QString shownText_;                  // the text before the change being judged
};
