#pragma once

#include <QProxyStyle>

namespace quorvane::platform {

// A style that masks password boxes with "*" (the toolkit's own styles use a dot), leaving
// everything else to the application's style.
class TPasswordCharStyle : public QProxyStyle {
public:
    TPasswordCharStyle();
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;
};

}  // namespace quorvane::platform
