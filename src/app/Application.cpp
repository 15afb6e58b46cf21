#include "app/Application.h"

#include <exception>

#include "app/GuardedApplication.h"
#include "app/TFM_About.h"
#include "app/TMainForm.h"
#include "app/WindowStyle.h"
#include "binding/UiHooks.h"
#include "device/DeviceProfile.h"

namespace {

void RunWindows(GuardedApplication& application) {
    TMainForm mainForm;
    TFM_About about(&mainForm);
    mainForm.SetAboutBox(&about);
    QObject::connect(&mainForm, &TMainForm::Closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    mainForm.show();
    GuardedApplication::exec();
}

}  // namespace

int RunApplication(int argc, char** argv) {
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
