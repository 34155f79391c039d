#include "platform/gui/box_bytes.h"

#include <QLineEdit>

#include <algorithm>

#include "platform/gui/gui_text.h"

namespace quorvane::platform {

void TBoxBytes::Show(QLineEdit& box, const std::string& bytes) {
    box.setText(ToQString(bytes));
    // What the box holds now, after its own validation, is what an untouched box shows later.
    const QString shown = box.text();
    auto found = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) { return entry.box == &box; });
    if (found == entries_.end()) {
        entries_.push_back(Entry{&box, bytes, shown});
    } else {
        found->bytes = bytes;
        found->shown = shown;
    }
}

std::string TBoxBytes::Bytes(const QLineEdit& box) const {
    const auto found =
        std::find_if(entries_.begin(), entries_.end(), [&](const Entry& entry) { return entry.box == &box; });
    if (found != entries_.end() && found->shown == box.text()) return found->bytes;
    return FromQString(box.text());
}

}  // namespace quorvane::platform
