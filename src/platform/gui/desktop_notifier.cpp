#include "platform/gui/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <QVariantMap>

#include <atomic>

namespace quorvane::platform {

namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
// A service that accepts the call but never answers must not pile up pending calls.
constexpr int kReplyLimitMs = 10000;

QString NextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("quorvane-notifications-%1").arg(++counter);
}

}  // namespace

TDesktopNotifier::TDesktopNotifier()
    : address_(QString::fromLocal8Bit(qgetenv("DBUS_SESSION_BUS_ADDRESS"))), context_(std::make_unique<QObject>()) {}

TDesktopNotifier::~TDesktopNotifier() {
    context_.reset();
    if (ownConnection_) QDBusConnection::disconnectFromBus(connectionName_);
}

void TDesktopNotifier::Notify(const std::string& title, const std::string& body, TUrgency urgency) {
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
    QDBusConnection connection(connectionName_);
    if (!connection.isConnected()) {
        Failed(QStringLiteral("no session bus"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                                      QString::fromLatin1(kInterface), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(urgency)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quorvane"));
    call << QStringLiteral("Quorvane") << 0u << QStringLiteral("quorvane") << QString::fromUtf8(title)
         << QString::fromUtf8(body) << QStringList() << hints << -1;
    // Owned by the context: deleted when the answer came or, at the latest, with the notifier.
    auto* watcher = new QDBusPendingCallWatcher(connection.asyncCall(call, kReplyLimitMs), context_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context_.get(), [this, watcher] {
        if (watcher->isError()) {
            const QDBusError error = watcher->error();
            Failed(error.type() == QDBusError::ServiceUnknown ? QStringLiteral("no notification service answers")
                                                              : error.message());
        }
        watcher->deleteLater();
    });
}

void TDesktopNotifier::Failed(const QString& reason) {
    if (onFailed_) onFailed_(reason.toStdString());
}

}  // namespace quorvane::platform
