#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

// The user-interface effects that tests must be able to observe without a person: a beep, a modal
// message box, a modal Yes/No question and the posted move of the focus. Each runs through one
// function below; a ScopedUiHooks replaces any of them for its lifetime.
struct UiHooks {
    std::function<void(int frequencyHz, int durationMs)> beep;
    // caption: the program file's name without folder; parent: the window that owns the box.
    std::function<void(QWidget* parent, const QString& caption, const QString& text)> messageBox;
    // Moves the focus of the window to the next control in tab order, after the current event.
    std::function<void(QWidget* window)> focusNext;
    // Returns true for Yes; caption and parent as for messageBox.
    std::function<bool(QWidget* parent, const QString& caption, const QString& text)> question;
};

// A beep of the given frequency and duration (::Beep on Windows, the desktop's bell elsewhere).
void Beep(int frequencyHz, int durationMs);

// A modal message box with a single OK button, the program file's name as caption and the
// window of parent (when given) as its parent.
void ShowMessageBox(QWidget* parent, const QString& text);

// A modal question with the buttons Yes and No, No being the default (Enter) and the answer of Esc
// and of the close box; caption and parent as for ShowMessageBox. True for Yes.
[[nodiscard]] bool AskYesNo(QWidget* parent, const QString& text);

// Gives a box the font of the window it belongs to (the application's without one) and makes it
// at least wide enough for its caption in a window title, so that the program's name is not cut.
void DressMessageBox(QMessageBox& box, QWidget* window);

// Posts to the window the request to move its focus to the next control in tab order; the move
// happens after the current event has been handled, and not at all if the window is gone by then.
void PostFocusNext(QWidget* window);

// The program file's name without folder, the caption of every message box.
[[nodiscard]] QString ProgramFileName();

// Replaces the hooks that are set in `hooks` while it lives; the empty ones keep what was in
// effect before. Nest them strictly (the innermost one must be destroyed first). For tests.
class ScopedUiHooks {
public:
    explicit ScopedUiHooks(UiHooks hooks);
    ~ScopedUiHooks();
    ScopedUiHooks(const ScopedUiHooks&) = delete;
    ScopedUiHooks& operator=(const ScopedUiHooks&) = delete;

private:
    UiHooks hooks_;
    const UiHooks* previous_;
};
