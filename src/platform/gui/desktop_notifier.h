#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>

class QObject;

namespace quorvane::platform {

// Desktop notifications through the freedesktop notification service on the session bus.
// Sending never waits for the service: the window goes on while the desktop shows the bubble,
// and a desktop without the service costs nothing but the failure report.
class TDesktopNotifier {
public:
    enum class TUrgency : unsigned char { Low = 0, Normal = 1, Critical = 2 };
    using FailureHandler = std::function<void(const std::string& reason)>;

    // The bus named by DBUS_SESSION_BUS_ADDRESS when the object is created (so that each one
    // can be pointed at a bus of its own), the desktop's session bus otherwise.
    TDesktopNotifier();
    ~TDesktopNotifier();
    TDesktopNotifier(const TDesktopNotifier&) = delete;
    TDesktopNotifier& operator=(const TDesktopNotifier&) = delete;

    // Called, on the user-interface thread, for every notification that did not arrive: no
    // bus, no service, or an error from it. The reason is one line in plain words.
    void SetOnFailed(FailureHandler handler) { onFailed_ = std::move(handler); }

    // Title and body are UTF-8.
    void Notify(const std::string& title, const std::string& body, TUrgency urgency);

private:
    void Failed(const QString& reason);

    QString address_;
    QString connectionName_;  // empty until the first notification
    bool ownConnection_ = false;
    FailureHandler onFailed_;
    std::unique_ptr<QObject> context_;  // owns the pending calls; destroyed first
};

}  // namespace quorvane::platform
