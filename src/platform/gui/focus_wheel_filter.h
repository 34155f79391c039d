#pragma once

#include <QObject>

class QAbstractScrollArea;
class QWidget;

namespace quorvane::platform {

// Keeps the mouse wheel from changing a drop-down list or number box that the pointer only
// passes over while the user scrolls the page it sits on: such a control takes the wheel only
// while it has the keyboard focus (which a click or the Tab key gives it, the wheel never);
// otherwise the wheel scrolls the page.
class TFocusWheelFilter : public QObject {
public:
    // Belongs to the page's scroll area.
    explicit TFocusWheelFilter(QAbstractScrollArea& page);

    void Guard(QWidget& control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractScrollArea& page_;
};

}  // namespace quorvane::platform
