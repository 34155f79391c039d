#include "window/poll_watch.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>

#include "platform/gui/gui_text.h"
#include "window/net_anti_freeze.h"
#include "text/mem_ini_file.h"

namespace quorvane {

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}

}  // namespace

TPollWatch::TPollWatch(QWidget& window, QLabel& reasonPanel, QWidget& makerNotice, QWidget& result)
    : window_(window), reasonPanel_(reasonPanel), makerNotice_(makerNotice), result_(result) {
    // A reason quotes the unit ("500 <b>..."): it is shown as the unit sent it, never as markup.
    reasonPanel_.setTextFormat(Qt::PlainText);
    // One per process; a second window (only tests make one) polls without it.
    if (TNetAntiFreezeBase::Current() == nullptr) antiFreeze_ = std::make_unique<TNetAntiFreeze>();
    busyTimer_.setSingleShot(true);
    busyTimer_.setInterval(BusyDelayMs);
    connect(&busyTimer_, &QTimer::timeout, this, [this] { ShowBusy(); });
}

TPollWatch::~TPollWatch() { End(); }

void TPollWatch::Begin(const std::string& host, int32_t port, const std::string& portText) {
    polling_ = true;
    waitingText_ = QStringLiteral("Waiting for %1:%2\u2026").arg(platform::ToQString(host)).arg(port);
    portNote_.clear();
    if (!TCustomIniFile::ParseNumber(portText).has_value()) {
        portNote_ = QStringLiteral("Port '%1' is not a number; port %2: ").arg(platform::ToQString(portText)).arg(port);
    }
    qApp->installEventFilter(this);
    busyTimer_.start();
}

void TPollWatch::End() {
    if (!polling_) return;
    polling_ = false;
    busyTimer_.stop();
    qApp->removeEventFilter(this);
    if (busyShown_) {
        busyShown_ = false;
        QApplication::restoreOverrideCursor();
        if (reasonPanel_.text() == waitingText_) ShowInPanel(panelBeforeBusy_);
    }
    if (closeRequested_) {
        closeRequested_ = false;
        if (antiFreeze_ != nullptr) antiFreeze_->ResetAbort();
        QTimer::singleShot(0, &window_, [window = &window_] { window->close(); });
    }
}

void TPollWatch::ShowOutcome(const TPollOutcome& outcome, const QString& timeText) {
    QString text;
    if (!outcome.Succeeded) {
        failureShown_ = true;
        text = portNote_ + (outcome.FailureReason.empty() ? QStringLiteral("The poll failed")
                                                           : platform::ToQString(outcome.FailureReason));
    } else if (failureShown_) {
        text = QStringLiteral("Good poll at ") + timeText;
    }
    if (!text.isEmpty()) result_.setAccessibleDescription(text);
    if (!notice_.isEmpty()) text = text.isEmpty() ? notice_ : text + QStringLiteral(" · ") + notice_;
    notice_.clear();
    if (!text.isEmpty()) ShowInPanel(text);
}

void TPollWatch::ShowNotice(const QString& text) {
    notice_ = text;
    ShowInPanel(text);
}

bool TPollWatch::DeferClose() {
    if (!polling_) return false;
    closeRequested_ = true;
    if (antiFreeze_ != nullptr) antiFreeze_->Abort();
    return true;
}

void TPollWatch::ShowBusy() {
    if (!polling_ || busyShown_) return;
    busyShown_ = true;
    QApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    panelBeforeBusy_ = reasonPanel_.text();
    ShowInPanel(waitingText_);
}

void TPollWatch::ShowInPanel(const QString& text) {
    reasonPanel_.setText(text);
    reasonPanel_.setAccessibleDescription(text);
    // The full line where the panel is too narrow for it.
    reasonPanel_.setToolTip(platform::PlainToolTip(text));
    reasonPanel_.setVisible(!text.isEmpty());
    makerNotice_.setVisible(text.isEmpty());
}

bool TPollWatch::eventFilter(QObject* watched, QEvent* event) {
    // The anti-freeze leaves the window system's input queued until the poll ends; this keeps
    // out what is sent straight to a widget meanwhile, so nothing inside the poll can start a
    // second one, reset the counts or change the settings it runs with.
    if (polling_ && IsUserInput(event->type()) && (watched->isWidgetType() || watched->isWindowType())) {
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace quorvane
