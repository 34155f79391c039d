#pragma once

#include <QString>

#include <cstdint>
#include <deque>
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
    // After every notification, on the user-interface thread: whether it arrived, and if not,
    // why (no bus, no service, or an error from it), in plain words.
    using OutcomeHandler = std::function<void(bool delivered, const std::string& reason)>;
    // For one notification: whether it arrived, with the id the service gave it (for a later
    // one to replace it).
    using DeliveredHandler = std::function<void(bool delivered, uint32_t id)>;

    // The bus named by DBUS_SESSION_BUS_ADDRESS when the object is created (so that each one
    // can be pointed at a bus of its own), the desktop's session bus otherwise.
    TDesktopNotifier();
    ~TDesktopNotifier();
    TDesktopNotifier(const TDesktopNotifier&) = delete;
    TDesktopNotifier& operator=(const TDesktopNotifier&) = delete;

    void SetOnOutcome(OutcomeHandler handler) { onOutcome_ = std::move(handler); }

    // Title and body are UTF-8 plain text: a service that reads markup in bodies gets '&', '<'
    // and '>' escaped, so nothing in them is ever taken for markup. A non-zero `replacesId`
    // asks the service to show this one in the place of that earlier one.
    void Notify(const std::string& title, const std::string& body, TUrgency urgency, uint32_t replacesId = 0,
                DeliveredHandler onDelivered = {});

private:
    struct Pending {
        QString title;
        QString body;
        TUrgency urgency;
        uint32_t replacesId;
        DeliveredHandler onDelivered;
    };
    enum class TCapabilities { Unknown, Asking, Known };

    bool Connect();
    void AskCapabilities();
    void Send(Pending notification);
    void Outcome(bool delivered, const QString& reason);

    QString address_;
    QString connectionName_;  // empty until the first notification
    bool ownConnection_ = false;
    TCapabilities capabilities_ = TCapabilities::Unknown;
    bool bodyMarkup_ = false;
    std::deque<Pending> waiting_;  // while the service's capabilities are asked for
    OutcomeHandler onOutcome_;
    std::unique_ptr<QObject> context_;  // owns the pending calls; destroyed first
};

// Plain text as a notification body that a service reads as markup: '&', '<', '>' escaped.
QString NotificationMarkupEscaped(const QString& text);

}  // namespace quorvane::platform
