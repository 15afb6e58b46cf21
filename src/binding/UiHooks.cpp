#include "binding/UiHooks.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void PlatformBeep(int frequencyHz, int durationMs) {
#ifdef _WIN32
    ::Beep(static_cast<DWORD>(frequencyHz), static_cast<DWORD>(durationMs));
#else
    (void)frequencyHz;
    (void)durationMs;
    QApplication::beep();
#endif
}

void PlatformMessageBox(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent ? parent->window() : nullptr);
    box.exec();
}

// QWidget::focusNextPrevChild is protected; a pointer to it formed inside a subclass may be
// applied to any widget, which is how the window's own (possibly overridden) version is reached.
struct FocusChainAccess : QWidget {
    static bool FocusNext(QWidget& window) {
        constexpr auto next = &FocusChainAccess::focusNextPrevChild;
        return (window.*next)(true);
    }
};

void PlatformFocusNext(QWidget* window) {
    if (window == nullptr) return;
    const QPointer<QWidget> target(window);
    QMetaObject::invokeMethod(
        window,
        [target] {
            if (target) FocusChainAccess::FocusNext(*target);
        },
        Qt::QueuedConnection);
}

// The innermost ScopedUiHooks, or none. Only ScopedUiHooks changes it, always on the UI thread.
const UiHooks* g_activeHooks = nullptr;

// The innermost hook that sets the member, else nothing.
template <typename Member>
const Member* ActiveHook(Member UiHooks::*member, const UiHooks* hooks) {
    return hooks != nullptr && (hooks->*member) ? &(hooks->*member) : nullptr;
}

}  // namespace

void Beep(int frequencyHz, int durationMs) {
    if (const auto* hook = ActiveHook(&UiHooks::beep, g_activeHooks)) {
        (*hook)(frequencyHz, durationMs);
    } else {
        PlatformBeep(frequencyHz, durationMs);
    }
}

void ShowMessageBox(QWidget* parent, const QString& text) {
    QWidget* const window = parent ? parent->window() : nullptr;
    if (const auto* hook = ActiveHook(&UiHooks::messageBox, g_activeHooks)) {
        (*hook)(window, ProgramFileName(), text);
    } else {
        PlatformMessageBox(window, ProgramFileName(), text);
    }
}

void PostFocusNext(QWidget* window) {
    if (const auto* hook = ActiveHook(&UiHooks::focusNext, g_activeHooks)) {
        (*hook)(window);
    } else {
        PlatformFocusNext(window);
    }
}

QString ProgramFileName() { return QFileInfo(QCoreApplication::applicationFilePath()).fileName(); }

ScopedUiHooks::ScopedUiHooks(UiHooks hooks) : hooks_(std::move(hooks)), previous_(g_activeHooks) {
    // Members left empty fall back to the hooks that were in effect before.
    if (previous_ != nullptr) {
        if (!hooks_.beep) hooks_.beep = previous_->beep;
        if (!hooks_.messageBox) hooks_.messageBox = previous_->messageBox;
        if (!hooks_.focusNext) hooks_.focusNext = previous_->focusNext;
    }
    g_activeHooks = &hooks_;
}

ScopedUiHooks::~ScopedUiHooks() { g_activeHooks = previous_; }
