#pragma once

#include <QApplication>

#include <exception>
#include <functional>
#include <string>

namespace quorvane::platform {

// The process's application object: the message loop, the title that error boxes carry, and
// the last line of defence for an exception that escapes a handler: it is shown in the
// standard error box and the program goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);

    // Runs the message loop until Terminate; returns the loop's exit code.
    int Run();
    void Terminate();

    // Shows the exception's message in the standard error box under the title.
    void ShowException(const std::exception& error);
    void ShowException(const std::string& message);

    // Nobody is at the screen any more (the session is ending the program): the boxes that
    // are open close, and a message that would open one goes to standard error instead, so
    // that the end never waits for a click. FailedUnattended tells whether one went there.
    void EndUnattended();
    bool FailedUnattended() const { return failedUnattended_; }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::string title_;
    bool unattended_ = false;
    bool failedUnattended_ = false;
};

// The application object of the process; nullptr before one exists.
TApplication* Application();

// Runs a handler; an exception escaping it goes to the standard error box (or to stderr when
// no application object exists) instead of ending the program.
void RunHandler(const std::function<void()>& handler);

}  // namespace quorvane::platform
