#pragma once

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

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    class TypedLengthLimit;

    void RunChangeHandler();
    // The validator's judgement of a changed text: what the user added beyond the limit goes.
    [[nodiscard]] QValidator::State LimitTyped(QString& text, int& cursor) const;

    Handler onChange_;
    Handler onExit_;
    int tag_ = 0;
    int maxLen_ = 0;
    TypedLengthLimit* limit_ = nullptr;  // owned by the edit, as its child
    QString shownText_;                  // the text before the change being judged
};
