#pragma once

#include <QString>

#include <string>

namespace quorvane::platform {

// The bridge between this system's byte strings and the toolkit's text, in the process's
// active code page (code_page.h): Shift-JIS under 932, Latin-1 under the single-byte page,
// UTF-8 otherwise. Bytes the code page cannot read come back as U+FFFD, so text that must
// survive unedited is kept as bytes beside the control (see TBoxBytes).
QString ToQString(const std::string& text);
std::string FromQString(const QString& text);

}  // namespace quorvane::platform
