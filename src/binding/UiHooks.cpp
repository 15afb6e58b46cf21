#include "binding/UiHooks.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QSpacerItem>
#include <QStyle>
#include <QWidget>
#include <algorithm>
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

// Room beside a title's text: the window's icon, its close box and the frame's margins, each about
// a title bar's height.
constexpr int kTitleBarExtras = 4;

void PlatformMessageBox(QWidget* window, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, window);
    DressMessageBox(box, window);
    box.exec();
}

bool PlatformQuestion(QWidget* window, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, window);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    DressMessageBox(box, window);
    return box.exec() == QMessageBox::Yes;
}

// The width a window title needs for the caption: in the wider of the box's font and the one the
// style gives title bars, bold as many desktops draw titles, and the room beside the text.
int CaptionWidth(const QMessageBox& box) {
    int text = 0;
    for (QFont font : {box.font(), QApplication::font("QMdiSubWindowTitleBar")}) {
        font.setBold(true);
        text = std::max(text, QFontMetrics(font).horizontalAdvance(box.windowTitle()));
    }
    return text + kTitleBarExtras * box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
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

bool AskYesNo(QWidget* parent, const QString& text) {
    QWidget* const window = parent ? parent->window() : nullptr;
    if (const auto* hook = ActiveHook(&UiHooks::question, g_activeHooks)) {
        return (*hook)(window, ProgramFileName(), text);
    }
    return PlatformQuestion(window, ProgramFileName(), text);
}

void DressMessageBox(QMessageBox& box, QWidget* window) {
    // A box is a window of its own, which does not take its parent's font by itself.
    box.setFont(window ? window->font() : QApplication::font());
    // The box sizes itself to its layout when shown; a spacer across the bottom holds it open.
    if (auto* const grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(CaptionWidth(box), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Fixed),  // owned by the layout
                      grid->rowCount(), 0, 1, grid->columnCount());
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
        if (!hooks_.question) hooks_.question = previous_->question;
    }
    g_activeHooks = &hooks_;
}

ScopedUiHooks::~ScopedUiHooks() { g_activeHooks = previous_; }
