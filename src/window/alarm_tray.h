#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace quorvane {

// The monitor's sign in the desktop's tray, one state at a time, each with a colour and a
// shape of its own: a green disc while it watches and all is within limits, a red disc with a
// bar while an alarm is active, an amber triangle while the unit does not answer, a grey ring
// while it does not watch. The tooltip tells the last poll's time and result and the alarms;
// a click brings the window forward, and its menu offers Show, Poll now, Pause or Resume
// watching, and Quit. On a desktop without a tray it does nothing.
class TAlarmTray {
public:
    enum class TState { Quiet, Alarm, NoAnswer, Idle };
    struct TActions {
        std::function<void()> Show;
        std::function<void()> PollNow;
        std::function<void()> PauseOrResume;
        std::function<void()> Quit;
    };

    explicit TAlarmTray(TActions actions);
    ~TAlarmTray();
    TAlarmTray(const TAlarmTray&) = delete;
    TAlarmTray& operator=(const TAlarmTray&) = delete;

    // Whether the desktop has a tray; a test may say so in its place (nullopt: ask the desktop).
    static bool Present();
    static void SetPresenceForTests(std::optional<bool> present);

    void SetVisible(bool visible);
    bool Visible() const;
    // The tooltip is plain text, whatever it holds: it is shown as written.
    void Show(TState state, const QString& toolTip, bool watching);
    bool Available() const { return icon_ != nullptr; }
    TState State() const { return state_; }
    // What the icon carries as its tooltip (markup that shows the plain text as it is).
    QString ToolTip() const;
    QMenu* Menu() const { return menu_.get(); }
    QAction* PauseAction() const { return pause_; }

private:
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    TActions actions_;
    QAction* pause_ = nullptr;
    TState state_ = TState::Idle;
};

}  // namespace quorvane
