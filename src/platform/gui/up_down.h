#pragma once

#include <QLineEdit>
#include <QWidget>

#include <cstdint>
#include <functional>

class QToolButton;

namespace quorvane::platform {

enum class TUpDownDirection { updNone, updUp, updDown };

// A spinner: two arrow buttons attached to a one-line box (its buddy) that shows the
// position as a decimal number. The position is a 16-bit signed number kept within
// [Min, Max].
//
// Before the position changes the changing event is raised with a may-change flag (set),
// the proposed position and the direction; a listener that clears the flag keeps the old
// position. The event comes
//   - when an arrow button or an arrow key in the box moves the spinner: the proposal is the
//     current position plus or minus the step, as computed (it may lie outside the range;
//     the position itself then stays within the range);
//   - when the program sets a position different from the current one (direction updNone);
//     setting the current value raises nothing.
// A number typed into the box becomes the position silently the next time the position is
// asked for. With ApplyTypedOnEditingFinished the typed number is also proposed through the
// changing event when editing of the box ends (Enter or focus leaving it), so that what the
// box shows is what the program uses.
class TUpDown : public QWidget {
public:
    using ChangingEx = std::function<void(TUpDown& sender, bool& allowChange, int16_t newValue,
                                          TUpDownDirection direction)>;

    // The buddy is owned by the caller's widget tree; the spinner only attaches to it.
    TUpDown(QLineEdit* buddy, QWidget* parent);

    int16_t Min() const { return min_; }
    int16_t Max() const { return max_; }
    void SetRange(int16_t min, int16_t max);
    int16_t Increment() const { return increment_; }
    void SetIncrement(int16_t value) { increment_ = value; }

    // Takes a valid number typed into the box (within the range) as the position first.
    int16_t Position();
    void SetPosition(int16_t value);

    void SetOnChangingEx(ChangingEx handler) { onChangingEx_ = std::move(handler); }
    void SetApplyTypedOnEditingFinished(bool value) { applyTyped_ = value; }
    // Proposes a number typed into the box through the changing event now, as the end of
    // editing would: for a control that acts without taking the focus from the box.
    void ApplyTyped();

    QLineEdit* Buddy() const { return buddy_; }
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

    // What an arrow button or arrow key does: step up (true) or down (false).
    void Step(bool up);

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool ChangeTo(int value, TUpDownDirection direction);
    bool ReadBuddy(int16_t& value) const;
    void ShowPosition();
    void EditingFinished();

    QLineEdit* buddy_;
    QToolButton* up_;
    QToolButton* down_;
    int16_t min_ = 0;
    int16_t max_ = 100;
    int16_t increment_ = 1;
    int16_t position_ = 0;
    bool applyTyped_ = false;
    ChangingEx onChangingEx_;
};

}  // namespace quorvane::platform
