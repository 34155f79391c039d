#include "platform/gui/up_down.h"

#include <QEvent>
#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/gui/application.h"
#include "platform/gui/gui_text.h"

namespace quorvane::platform {

TUpDown::TUpDown(QLineEdit* buddy, QWidget* parent)
    : QWidget(parent), buddy_(buddy), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {up_, down_}) {
        button->setArrowType(button == up_ ? Qt::UpArrow : Qt::DownArrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(button);
    }
    QObject::connect(up_, &QToolButton::clicked, this, [this] { RunHandler([this] { Step(true); }); });
    QObject::connect(down_, &QToolButton::clicked, this, [this] { RunHandler([this] { Step(false); }); });
    buddy_->installEventFilter(this);
    QObject::connect(buddy_, &QLineEdit::editingFinished, this,
                     [this] { RunHandler([this] { EditingFinished(); }); });
    ShowPosition();
}

void TUpDown::SetRange(int16_t min, int16_t max) {
    min_ = min;
    max_ = max;
    const int16_t clamped = std::clamp<int16_t>(position_, std::min(min_, max_), std::max(min_, max_));
    if (clamped != position_) {
        position_ = clamped;
        ShowPosition();
    }
}

bool TUpDown::ReadBuddy(int16_t& value) const {
    // Decimal, with leading blanks and a sign, as the box shows it; anything else (including
    // a number outside the range) leaves the position as it was.
    const std::string text = FromQString(buddy_->text());
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(begin, &end, 10);
    if (end == begin || *end != '\0' || errno == ERANGE) return false;
    if (parsed < std::min(min_, max_) || parsed > std::max(min_, max_)) return false;
    value = static_cast<int16_t>(parsed);
    return true;
}

int16_t TUpDown::Position() {
    int16_t typed = 0;
    if (ReadBuddy(typed)) position_ = typed;
    return position_;
}

void TUpDown::SetPosition(int16_t value) {
    if (value == position_) return;
    ChangeTo(value, TUpDownDirection::updNone);
}

void TUpDown::Step(bool up) {
    const int current = Position();
    const int proposed = up ? current + increment_ : current - increment_;
    ChangeTo(proposed, up ? TUpDownDirection::updUp : TUpDownDirection::updDown);
}

bool TUpDown::ChangeTo(int value, TUpDownDirection direction) {
    bool allow = true;
    if (onChangingEx_) {
        const ChangingEx handler = onChangingEx_;
        handler(*this, allow, static_cast<int16_t>(value), direction);
    }
    if (!allow) return false;
    position_ = static_cast<int16_t>(std::clamp<int>(value, std::min(min_, max_), std::max(min_, max_)));
    ShowPosition();
    return true;
}

void TUpDown::ShowPosition() {
    buddy_->setText(QString::number(position_));
}

void TUpDown::EditingFinished() {
    if (applyTyped_) ApplyTyped();
}

void TUpDown::ApplyTyped() {
    int16_t typed = 0;
    if (!ReadBuddy(typed)) {
        ShowPosition();  // an unusable number would otherwise stay on show
        return;
    }
    if (typed == position_) return;
    if (!ChangeTo(typed, TUpDownDirection::updNone)) ShowPosition();
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            RunHandler([&] { Step(key->key() == Qt::Key_Up); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quorvane::platform
