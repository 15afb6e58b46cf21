#include "Application.h"

#include <QApplication>
#include <exception>

#include "DeviceProfile.h"
#include "TFM_About.h"
#include "TMainForm.h"
#include "UiHooks.h"
#include "WindowStyle.h"

namespace {

// The application object, which also stops an error that an event handler let escape: the error
// ends the message loop, and its message is shown once the loop has returned.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            Fail(QString::fromUtf8(error.what()));
        } catch (...) {
            Fail(QStringLiteral("Unknown error!"));
        }
        return false;
    }

    [[nodiscard]] const QString& EscapedError() const noexcept { return escapedError_; }

private:
    void Fail(const QString& message) {
        if (escapedError_.isEmpty()) escapedError_ = message;
        quit();
    }

    QString escapedError_;
};

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
            if (!application.EscapedError().isEmpty()) ShowMessageBox(nullptr, application.EscapedError());
        } catch (const std::exception& error) {
            ShowMessageBox(nullptr, QString::fromUtf8(error.what()));
        }
    } catch (...) {
        // Without an application object there is no way left to show anything.
    }
    return 0;
}
