#include "window/alarm_tray.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace quorvane {

namespace {

QIcon Dot(const QColor& color) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color.darker(160), 2));
    painter.setBrush(color);
    painter.drawEllipse(3, 3, 26, 26);
    return QIcon(pixmap);
}

}  // namespace

TAlarmTray::TAlarmTray(std::function<void()> onClick) : onClick_(std::move(onClick)) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    icon_ = std::make_unique<QSystemTrayIcon>();
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated, icon_.get(),
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger && onClick_) onClick_();
                     });
    Show(TState::Silent, QStringLiteral("Quorvane: no poll yet"));
}

TAlarmTray::~TAlarmTray() = default;

void TAlarmTray::SetVisible(bool visible) {
    if (icon_) icon_->setVisible(visible);
}

void TAlarmTray::Show(TState state, const QString& toolTip) {
    if (!icon_) return;
    static const QColor kColors[] = {QColor(0, 170, 0), QColor(220, 0, 0), QColor(150, 150, 150)};
    icon_->setIcon(Dot(kColors[static_cast<int>(state)]));
    icon_->setToolTip(toolTip);
}

}  // namespace quorvane
