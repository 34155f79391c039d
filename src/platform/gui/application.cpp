#include "platform/gui/application.h"

#include <QWidget>

#include <cstdio>

#include "platform/gui/dialogs.h"

namespace quorvane::platform {

namespace {
TApplication* theApplication = nullptr;
}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    theApplication = this;
}

TApplication::~TApplication() {
    if (theApplication == this) theApplication = nullptr;
}

TApplication* Application() { return theApplication; }

void TApplication::SetTitle(const std::string& title) {
    // Kept to ourselves: as the toolkit's display name it would be appended to every window
    // caption on X11.
    title_ = title;
}

int TApplication::Run() { return exec(); }

void TApplication::Terminate() { quit(); }

void TApplication::ShowException(const std::exception& error) { ShowException(std::string(error.what())); }

void TApplication::ShowException(const std::string& message) {
    if (unattended_) {
        failedUnattended_ = true;
        std::fprintf(stderr, "%s: %s\n", title_.c_str(), message.c_str());
        return;
    }
    ShowErrorBox(title_, message, activeWindow());
}

void TApplication::EndUnattended() {
    unattended_ = true;
    // A modal box (an error of the settings file, an address the desktop could not open) would
    // keep the program alive until someone answered it.
    for (QWidget* widget : topLevelWidgets()) {
        if (widget->isModal() && widget->isVisible()) widget->close();
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    // Handlers are guarded one by one (RunHandler); this catches whatever a toolkit callback
    // lets through, so that one failed event never ends the program.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(std::string("Unknown exception"));
    }
    return false;
}

void RunHandler(const std::function<void()>& handler) {
    std::string message;
    try {
        handler();
        return;
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
        message = "Unknown exception";
    }
    if (TApplication* application = Application()) {
        application->ShowException(message);
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

}  // namespace quorvane::platform
