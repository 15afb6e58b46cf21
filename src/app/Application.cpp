#include "app/Application.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "app/GuardedApplication.h"
#include "app/TMainForm.h"
#include "app/WindowStyle.h"
#include "binding/UiHooks.h"
#include "device/DeviceProfile.h"

namespace {

void RunWindows(GuardedApplication& application) {
    TMainForm mainForm;
    QObject::connect(&mainForm, &TMainForm::Closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    mainForm.show();
    GuardedApplication::exec();
}

// Whether the command line asks for the usage text: the one question answered without a display.
bool HelpRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "-h" || argument == "--help") return true;
    }
    return false;
}

void PrintHelp() {
    const std::string text =
        "Usage: orvalan-config\n"
        "Finds " +
        std::string(kModelName) +
        " storage devices on every network adapter, lists them, sets a device's IP\n"
        "address and netmask, and opens its web pages or network share.\n\n"
        "It takes no options besides this one, and ignores Qt's (such as -style); QT_QPA_PLATFORM\n"
        "and DISPLAY choose where the window opens. orvalan-ndcp does the same from a command\n"
        "line: orvalan-ndcp --help.\n";
    std::fputs(text.c_str(), stdout);
}

}  // namespace

int RunApplication(int argc, char** argv) {
    if (HelpRequested(argc, argv)) {
        PrintHelp();
        return 0;
    }
    try {
        static_cast<void>(DiscoveryParts());
        GuardedApplication application(argc, argv);
        try {
            // The program ends when the main window has closed, not when no window is visible: the
            // window hides at once on Exit while a waiting command still has to return.
            GuardedApplication::setQuitOnLastWindowClosed(false);
            GuardedApplication::setWindowIcon(ApplicationIcon());
            RunWindows(application);
        } catch (const std::exception& error) {
            ShowMessageBox(nullptr, QString::fromUtf8(error.what()));
        }
    } catch (...) {
        // Without an application object there is no way left to show anything.
    }
    return 0;
}
