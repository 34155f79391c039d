#pragma once

#include <QString>

#include <functional>
#include <memory>

class QSystemTrayIcon;

namespace quorvane {

// The monitor's sign in the desktop's tray: green while all is well, red while an alarm is
// active, grey while the unit does not answer; the tooltip tells the last poll's time and
// result and a click brings the window forward. On a desktop without a tray it does nothing.
class TAlarmTray {
public:
    enum class TState { Quiet, Alarm, Silent };

    explicit TAlarmTray(std::function<void()> onClick);
    ~TAlarmTray();
    TAlarmTray(const TAlarmTray&) = delete;
    TAlarmTray& operator=(const TAlarmTray&) = delete;

    // Shows or hides the icon (it is shown only while some alarm is defined).
    void SetVisible(bool visible);
    void Show(TState state, const QString& toolTip);
    bool Available() const { return icon_ != nullptr; }

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::function<void()> onClick_;
};

}  // namespace quorvane
