#include "platform/gui/focus_wheel_filter.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QWheelEvent>
#include <QWidget>

namespace quorvane::platform {

TFocusWheelFilter::TFocusWheelFilter(QAbstractScrollArea& page) : QObject(&page), page_(page) {}

void TFocusWheelFilter::Guard(QWidget& control) {
    control.setFocusPolicy(Qt::StrongFocus);
    control.installEventFilter(this);
}

bool TFocusWheelFilter::eventFilter(QObject* watched, QEvent* event) {
    auto* control = qobject_cast<QWidget*>(watched);
    if (event->type() != QEvent::Wheel || control == nullptr || control->hasFocus()) {
        return QObject::eventFilter(watched, event);
    }
    const auto* wheel = static_cast<QWheelEvent*>(event);
    QWidget* viewport = page_.viewport();
    QWheelEvent forwarded(viewport->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                          wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                          wheel->phase(), wheel->inverted(), wheel->source(), wheel->pointingDevice());
    QCoreApplication::sendEvent(viewport, &forwarded);
    return true;
}

}  // namespace quorvane::platform
