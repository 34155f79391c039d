#include "platform/gui/gui_text.h"

#include <QByteArray>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextDocument>

#include "platform/code_page.h"

namespace quorvane::platform {

namespace {

constexpr int kCodePageShiftJis = 932;
constexpr int kCodePageUtf8 = 65001;

// The toolkit's name of the active code page; empty for UTF-8, which needs no converter.
const char* ConverterName() {
    switch (ActiveCodePage()) {
        case kCodePageUtf8: return "";
        case kCodePageShiftJis: return "Shift_JIS";
        default: return "ISO-8859-1";
    }
}

}  // namespace

QString ToQString(const std::string& text) {
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    const char* name = ConverterName();
    if (*name != '\0') {
        QStringDecoder decoder(name);
        if (decoder.isValid()) return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

std::string FromQString(const QString& text) {
    const char* name = ConverterName();
    QByteArray bytes;
    QStringEncoder encoder(*name != '\0' ? name : "UTF-8");
    bytes = encoder.isValid() ? QByteArray(encoder.encode(text)) : text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString PlainToolTip(const QString& text) {
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

}  // namespace quorvane::platform
