#include "app/GuardedApplication.h"

#include <QWidget>
#include <cstdio>
#include <exception>

#include "binding/UiHooks.h"
#include "errors/Messages.h"

namespace {

constexpr char kFallbackName[] = "orvalan-config";

// Shows an escaped error over the active window. Showing it must not fail in turn: what cannot
// be shown goes to the standard error stream instead.
void ShowEscapedError(const QString& message) noexcept {
    try {
        ShowMessageBox(QApplication::activeWindow(), message);
    } catch (...) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
}

}  // namespace

detail::ProgramNameOnly::ProgramNameOnly(const char* programName)
    : name(programName != nullptr && *programName != '\0' ? programName : kFallbackName) {
    argv = {name.data(), nullptr};
}

GuardedApplication::GuardedApplication(int argc, char** argv)
    : ProgramNameOnly(argc > 0 && argv != nullptr ? argv[0] : nullptr),
      QApplication(ProgramNameOnly::argc, ProgramNameOnly::argv.data()) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowEscapedError(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowEscapedError(QString::fromUtf8(NDCPMessage(kUnknownError).data(),
                                           static_cast<qsizetype>(NDCPMessage(kUnknownError).size())));
    }
    return false;
}
