#include "window/poll_watch.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

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
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
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
    if (menuBar_ != nullptr) {
        for (QAction* item : menuBar_->actions()) {
            QMenu* menu = item->menu();
            if (menu == nullptr) continue;
            for (QAction* action : menu->actions()) {
                if (action == exit_ || !action->isEnabled()) continue;
                action->setEnabled(false);
                disabledActions_.emplace_back(action);
            }
        }
    }
    busyTimer_.start();
}

void TPollWatch::KeepExitUsable(QMenuBar& menuBar, QAction& exit) {
    menuBar_ = &menuBar;
    exit_ = &exit;
}

void TPollWatch::End() {
    if (!polling_) return;
    polling_ = false;
    busyTimer_.stop();
    qApp->removeEventFilter(this);
    for (const QPointer<QAction>& action : disabledActions_) {
        if (action != nullptr) action->setEnabled(true);
    }
    disabledActions_.clear();
    // After the poll's own closing steps, in the order they came. A menu opened meanwhile
    // closes first, or the clicks and keys made before it would land in it.
    if (!heldInput_.empty()) {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    }
    for (auto& [receiver, input] : heldInput_) {
        if (receiver != nullptr) QCoreApplication::postEvent(receiver, input.release());
    }
    heldInput_.clear();
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

void TPollWatch::ShowOutcome(const TPollOutcome& outcome, const QString& timeText, const QString& silenceNote) {
    QString text;
    if (!outcome.Succeeded) {
        failureShown_ = true;
        text = portNote_ + (outcome.FailureReason.empty() ? QStringLiteral("The poll failed")
                                                           : platform::ToQString(outcome.FailureReason));
        if (!silenceNote.isEmpty()) text += QStringLiteral(" · ") + silenceNote;
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

bool TPollWatch::ForTheMenu(const QObject* watched, const QEvent* event) const {
    if (menuBar_ == nullptr) return false;
    // An open menu takes every click and key until it closes.
    if (qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr) return true;
    if (watched == menuBar_) return true;
    if (watched != window_.windowHandle()) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return menuBar_->geometry().contains(static_cast<const QMouseEvent*>(event)->position().toPoint());
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            // Alt and the letters it opens the menus with.
            const auto* key = static_cast<const QKeyEvent*>(event);
            return key->key() == Qt::Key_Alt || (key->modifiers() & Qt::AltModifier) != 0;
        }
        default:
            return false;
    }
}

bool TPollWatch::eventFilter(QObject* watched, QEvent* event) {
    // Nothing inside the poll may start a second one, reset the counts or change the settings
    // it runs with. The window system's clicks and keys reach the window first: they are held
    // and handed back after the poll, unless they are for the menu. What is sent straight to a
    // widget meanwhile is kept out.
    if (!polling_ || !IsUserInput(event->type()) || !(watched->isWidgetType() || watched->isWindowType())) {
        return QObject::eventFilter(watched, event);
    }
    if (ForTheMenu(watched, event)) return QObject::eventFilter(watched, event);
    // A shortcut is only looked for: the key itself comes next. An input method's text goes
    // straight to the control being typed into.
    const bool fromTheWindowSystem = watched->isWindowType() && event->spontaneous();
    const bool shortcut = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::Shortcut;
    if ((fromTheWindowSystem && !shortcut) || event->type() == QEvent::InputMethod) {
        heldInput_.emplace_back(watched, event->clone());
    }
    return true;
}

}  // namespace quorvane
