#include "platform/gui/static_text.h"

namespace quorvane::platform {

TStaticText::TStaticText(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void TStaticText::SetCaption(const QString& caption) {
    caption_ = caption;
    QString shown = caption;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QChar(u'\r'), QChar(u'\n'));
    setText(shown);
}

}  // namespace quorvane::platform
