// The program: the monitor window inside the application's message loop.

#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include <memory>

#include "window/form1.h"
#include "window/watch_page.h"
#include "platform/gui/application.h"
#include "platform/gui/termination_signal.h"

int main(int argc, char** argv) {
    using namespace quorvane;

    // The window unit comes first: the counters are zero before any window exists.
    InitializeMonitorWindowUnit();
    int exitCode = 0;
    {
        platform::TApplication application(argc, argv);
        application.SetTitle("Quorvane");
        application.setWindowIcon(QIcon::fromTheme(QStringLiteral("quorvane")));
        {
            // Creating the window loads the settings; a failure there is shown in the error
            // box and the window opens all the same.
            auto form = std::make_unique<TForm1>();
            if (QScreen* screen = QGuiApplication::primaryScreen()) {
                const QRect available = screen->availableGeometry();
                form->adjustSize();
                form->move(available.center() - form->rect().center());
            }
            form->show();
            // "--watch" (as the login's autostart entry starts it) or the setting: polling
            // starts as if "Get Status" had been pressed.
            form->Watching->StartIfAsked(TWatchPage::WatchRequested(application.arguments()));
            // Ended from outside (SIGTERM, the session's end): as if the window were closed, never
            // into the tray, and with nobody left to answer a box.
            platform::TTerminationSignal termination([&application, window = form.get()] {
                application.EndUnattended();
                window->Watching->CloseProgram();
            });
            exitCode = application.Run();
            // Destroying the window saves the settings while their file name is still known,
            // and while the application (the error box's title) still exists.
        }
        // The settings could not be saved at the session's end: the message went to standard
        // error, and the exit code says so.
        if (application.FailedUnattended()) exitCode = 1;
    }
    FinalizeMonitorWindowUnit();
    return exitCode;
}
