#pragma once

#include <QString>

#include <string>

namespace quorvane::platform {

// The bridge between this system's byte strings (the process's code page) and the toolkit's
// text.
inline QString ToQString(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::string FromQString(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace quorvane::platform
