#pragma once

#include <QAccessible>

class QWidget;

namespace quorvane::platform {

// Gives a plain widget the role a screen reader should announce it with: a drawn chart is a
// "chart", a top-level window of our own a "frame", where the toolkit would call either a
// mere filler. Set it before anything asks for the widget's accessible interface, that is in
// its constructor.
void SetAccessibleRole(QWidget& widget, QAccessible::Role role);

}  // namespace quorvane::platform
