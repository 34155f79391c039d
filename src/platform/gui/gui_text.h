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

// A tooltip that shows the text as it is. The toolkit reads a tooltip as markup whenever its
// start looks like some, so text from the unit or the history ("500 <b>...") goes in escaped
// and marked as markup; empty stays empty (no tooltip).
QString PlainToolTip(const QString& text);

}  // namespace quorvane::platform
