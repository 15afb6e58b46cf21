#pragma once

#include <QLineEdit>
#include <functional>

// A single-line edit with one assignable text-change handler, one assignable focus-loss handler
// and an integer tag. A handler is a plain value: the current one can be read, kept, called from a
// replacement and put back.
class OvEdit : public QLineEdit {
    Q_OBJECT

public:
    using Handler = std::function<void(OvEdit& edit)>;

    // Qt's own default maximum length, used where the edit has no limit.
    static constexpr int kNoLengthLimit = 32767;

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

    // The maximum text length in characters; 0 means no limit.
    void SetMaxLen(int maxLen);
    [[nodiscard]] int MaxLen() const;

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void RunChangeHandler();

    Handler onChange_;
    Handler onExit_;
    int tag_ = 0;
};
