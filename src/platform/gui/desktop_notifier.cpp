#include "platform/gui/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <atomic>

namespace quorvane::platform {

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
// A service that accepts the call but never answers must not pile up pending calls.
constexpr int kReplyLimitMs = 10000;
// Notifications held back while the service is asked what it can do; more are dropped as
// failed rather than kept without bound.
constexpr size_t kMaxWaiting = 64;

QString NextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("quorvane-notifications-%1").arg(++counter);
}

QDBusMessage ServiceCall(const QString& method) {
    return QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                          QString::fromLatin1(kInterface), method);
}

QString Reason(const QDBusError& error) {
    return error.type() == QDBusError::ServiceUnknown ? QStringLiteral("no notification service answers")
                                                      : error.message();
}

}  // namespace

QString NotificationMarkupEscaped(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&') escaped += QStringLiteral("&amp;");
        else if (c == u'<') escaped += QStringLiteral("&lt;");
        else if (c == u'>') escaped += QStringLiteral("&gt;");
        else escaped += c;
    }
    return escaped;
}

TDesktopNotifier::TDesktopNotifier()
    : address_(QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS"))), context_(std::make_unique<QObject>()) {}

TDesktopNotifier::~TDesktopNotifier() {
    context_.reset();
    if (ownConnection_) QDBusConnection::disconnectFromBus(connectionName_);
}

bool TDesktopNotifier::Connect() {
    // Connected at the first notification only: a window without alarms never touches the bus
    // (where there is none, looking for it may start one).
    if (connectionName_.isEmpty()) {
        if (address_.isEmpty()) {
            connectionName_ = QDBusConnection::sessionBus().name();
        } else {
            connectionName_ = NextConnectionName();
            ownConnection_ = true;
            QDBusConnection::connectToBus(address_, connectionName_);
        }
    }
    if (QDBusConnection(connectionName_).isConnected()) return true;
    // A bus of our own is tried afresh at the next notification.
    if (ownConnection_) {
        QDBusConnection::disconnectFromBus(connectionName_);
        connectionName_.clear();
        ownConnection_ = false;
    }
    return false;
}

void TDesktopNotifier::Notify(const std::string& title, const std::string& body, TUrgency urgency,
                              uint32_t replacesId, DeliveredHandler onDelivered) {
    Pending notification{QString::fromUtf8(title), QString::fromUtf8(body), urgency, replacesId,
                         std::move(onDelivered)};
    if (!Connect()) {
        Outcome(false, QStringLiteral("no session bus"));
        if (notification.onDelivered) notification.onDelivered(false, 0);
        return;
    }
    // Whether bodies are markup is the service's to say: asked once, before the first one.
    if (capabilities_ == TCapabilities::Known) {
        Send(std::move(notification));
        return;
    }
    if (waiting_.size() >= kMaxWaiting) {
        Outcome(false, QStringLiteral("the notification service does not answer"));
        if (notification.onDelivered) notification.onDelivered(false, 0);
        return;
    }
    waiting_.push_back(std::move(notification));
    if (capabilities_ == TCapabilities::Unknown) AskCapabilities();
}

void TDesktopNotifier::AskCapabilities() {
    capabilities_ = TCapabilities::Asking;
    QDBusConnection connection(connectionName_);
    auto* watcher = new QDBusPendingCallWatcher(
        connection.asyncCall(ServiceCall(QStringLiteral("GetCapabilities")), kReplyLimitMs), context_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context_.get(), [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> reply = *watcher;
        // Without an answer the notifications go as plain text: their own calls then tell
        // whether the service is there at all.
        bodyMarkup_ = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"));
        capabilities_ = TCapabilities::Known;
        std::deque<Pending> waiting;
        waiting.swap(waiting_);
        for (Pending& notification : waiting) Send(std::move(notification));
    });
}

void TDesktopNotifier::Send(Pending notification) {
    QDBusConnection connection(connectionName_);
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(notification.urgency)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quorvane"));
    QDBusMessage call = ServiceCall(QStringLiteral("Notify"));
    call << QStringLiteral("Quorvane") << notification.replacesId << QStringLiteral("quorvane") << notification.title
         << (bodyMarkup_ ? NotificationMarkupEscaped(notification.body) : notification.body) << QStringList() << hints
         << -1;
    // Owned by the context: deleted when the answer came or, at the latest, with the notifier.
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call, kReplyLimitMs), context_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context_.get(),
                     [this, watcher, onDelivered = std::move(notification.onDelivered)] {
                         watcher->deleteLater();
                         const QDBusPendingReply<uint> reply = *watcher;
                         if (reply.isError()) {
                             // The service may come back as another one: asked again then.
                             capabilities_ = TCapabilities::Unknown;
                             Outcome(false, Reason(reply.error()));
                             if (onDelivered) onDelivered(false, 0);
                             return;
                         }
                         Outcome(true, QString());
                         if (onDelivered) onDelivered(true, reply.value());
                     });
}

void TDesktopNotifier::Outcome(bool delivered, const QString& reason) {
    if (onOutcome_) onOutcome_(delivered, reason.toStdString());
}

}  // namespace quorvane::platform
