#include "window/alarm_tray.h"

#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>

#include "platform/gui/gui_text.h"

namespace quorvane {

namespace {

std::optional<bool> presenceForTests;

// Colour alone would leave a colour-blind user with two alike dots: each state has its shape.
QIcon StateIcon(TAlarmTray::TState state) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (state) {
        case TAlarmTray::TState::Quiet: {
            const QColor green(0, 160, 0);
            painter.setPen(QPen(green.darker(160), 2));
            painter.setBrush(green);
            painter.drawEllipse(3, 3, 26, 26);
            break;
        }
        case TAlarmTray::TState::Alarm: {
            const QColor red(215, 0, 0);
            painter.setPen(QPen(red.darker(160), 2));
            painter.setBrush(red);
            painter.drawEllipse(3, 3, 26, 26);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::white);
            painter.drawRect(7, 13, 18, 6);
            break;
        }
        case TAlarmTray::TState::NoAnswer: {
            const QColor amber(255, 176, 0);
            QPainterPath triangle;
            triangle.moveTo(16, 2);
            triangle.lineTo(30, 29);
            triangle.lineTo(2, 29);
            triangle.closeSubpath();
            painter.setPen(QPen(amber.darker(170), 2));
            painter.setBrush(amber);
            painter.drawPath(triangle);
            painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
            painter.drawLine(16, 11, 16, 20);
            painter.drawPoint(16, 25);
            break;
        }
        case TAlarmTray::TState::Idle:
            painter.setPen(QPen(QColor(140, 140, 140), 5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(5, 5, 22, 22);
            break;
    }
    return QIcon(pixmap);
}

}  // namespace

bool TAlarmTray::Present() {
    return presenceForTests ? *presenceForTests : QSystemTrayIcon::isSystemTrayAvailable();
}

void TAlarmTray::SetPresenceForTests(std::optional<bool> present) { presenceForTests = present; }

TAlarmTray::TAlarmTray(TActions actions) : actions_(std::move(actions)) {
    if (!Present()) return;
    menu_ = std::make_unique<QMenu>();
    const auto add = [this](const QString& text, const std::function<void()>& handler) {
        QAction* action = menu_->addAction(text);
        QObject::connect(action, &QAction::triggered, menu_.get(), [handler] {
            if (handler) handler();
        });
        return action;
    };
    add(QStringLiteral("&Show"), actions_.Show);
    add(QStringLiteral("&Poll now"), actions_.PollNow);
    pause_ = add(QStringLiteral("P&ause watching"), actions_.PauseOrResume);
    menu_->addSeparator();
    add(QStringLiteral("&Quit"), actions_.Quit);

    icon_ = std::make_unique<QSystemTrayIcon>();
    icon_->setContextMenu(menu_.get());
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger && actions_.Show) actions_.Show();
                     });
    Show(TState::Idle, QStringLiteral("Quorvane: no poll yet"), false);
}

TAlarmTray::~TAlarmTray() {
    // The icon refers to the menu: it goes first.
    icon_.reset();
}

void TAlarmTray::SetVisible(bool visible) {
    if (icon_) icon_->setVisible(visible);
}

bool TAlarmTray::Visible() const { return icon_ && icon_->isVisible(); }

QString TAlarmTray::ToolTip() const { return icon_ ? icon_->toolTip() : QString(); }

void TAlarmTray::Show(TState state, const QString& toolTip, bool watching) {
    if (!icon_) return;
    state_ = state;
    icon_->setIcon(StateIcon(state));
    icon_->setToolTip(platform::PlainToolTip(toolTip));
    pause_->setText(watching ? QStringLiteral("P&ause watching") : QStringLiteral("&Resume watching"));
}

}  // namespace quorvane
