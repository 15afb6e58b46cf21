#pragma once

#include <QApplication>
#include <array>
#include <string>

namespace detail {

// The command line that Qt is given: the program's name alone. It lives as long as the
// application object, as Qt requires.
struct ProgramNameOnly {
    explicit ProgramNameOnly(const char* programName);

    std::string name;
    int argc = 1;
    std::array<char*, 2> argv{};
};

}  // namespace detail

// The program's application object. The program takes nothing from its command line, so Qt does
// not either (no "-reverse", "-style" or other option of Qt's own). An error that escapes an
// event handler is shown in a message box, and the program goes on.
class GuardedApplication : private detail::ProgramNameOnly, public QApplication {
public:
    // argc and argv: the program's command line, of which only the program's name is used.
    GuardedApplication(int argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
