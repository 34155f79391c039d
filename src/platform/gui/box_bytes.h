#pragma once

#include <QString>

#include <string>
#include <vector>

class QLineEdit;

namespace quorvane::platform {

// The bytes behind one-line boxes whose text came from bytes, such as the settings file. The
// toolkit holds text as UTF-16, and bytes the active code page cannot read (a Latin-1 "é" in
// a UTF-8 session, a Shift-JIS name in a Latin-1 one) do not come back from it unchanged. So
// until the user changes what a box shows, its bytes are exactly the ones it was given.
class TBoxBytes {
public:
    // Shows the bytes in the box, converted with the active code page, and keeps them.
    void Show(QLineEdit& box, const std::string& bytes);
    // The kept bytes while the box shows what Show put there; otherwise its text converted.
    std::string Bytes(const QLineEdit& box) const;

private:
    struct Entry {
        const QLineEdit* box;
        std::string bytes;
        QString shown;
    };
    std::vector<Entry> entries_;
};

}  // namespace quorvane::platform
