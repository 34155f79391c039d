#pragma once

#include <QLabel>

#include <string>

namespace quorvane::platform {

// A static text whose caption may hold CR, LF or CR LF line breaks, each shown as a line
// break (the toolkit's labels would turn a lone CR into a blank). Caption() gives the text
// exactly as it was set.
class TStaticText : public QLabel {
public:
    explicit TStaticText(QWidget* parent = nullptr);

    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption);

private:
    QString caption_;
};

}  // namespace quorvane::platform
