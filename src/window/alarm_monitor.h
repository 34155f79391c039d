#pragma once

#include <QPalette>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "monitor/alarm_evaluator.h"
#include "monitor/alarm_event.h"
#include "monitor/alarm_settings.h"
#include "monitor/poll_outcome.h"
#include "platform/gui/desktop_notifier.h"

class QLineEdit;

namespace quorvane {

class TAlarmCommandRunner;
class TAlarmTray;
class TAlarmsPage;
class TForm1;

// The alarms in the window: loads the rules from the settings file, adds the "Alarms" page,
// and after every poll tells the user of the alarms that started or ended (one desktop
// notification for the starts of a poll and one for its ends, the end in the place of the
// start where it can; red reading boxes; the tray icon; the page's list of active alarms; the
// user's command). The rules are written back to the settings file only when the user changes
// them on the page.
class TAlarmMonitor {
public:
    explicit TAlarmMonitor(TForm1& form);
    ~TAlarmMonitor();
    TAlarmMonitor(const TAlarmMonitor&) = delete;
    TAlarmMonitor& operator=(const TAlarmMonitor&) = delete;

    // Right after a poll, before the window shows its values; `current` are the readings the
    // poll took.
    void AfterPoll(const TPollOutcome& outcome, const TReadingSet& current, const std::string& host, int32_t port);

    // The events of the latest poll (for the history).
    const std::vector<TAlarmEvent>& LatestEvents() const { return latest_; }
    const TAlarmEvaluator& Evaluator() const { return evaluator_; }
    TAlarmsPage* Page() const { return page_; }
    TAlarmTray* Tray() const { return tray_.get(); }
    TAlarmCommandRunner* Commands() const { return commands_.get(); }
    // The tray icon shows while an alarm is defined, and while the window is to keep watching
    // in the tray.
    void SetTrayWanted(bool wanted);
    // Why the last notification did not arrive; empty once one arrives again.
    const QString& NotificationProblem() const { return notificationProblem_; }
    // Brings the state of watching (the "Get Status" button) into the tray.
    void ShowState();
    // By catalogue index: "Alarm: Temp 2 above 45 °C" for a reading in an alarm of the latest
    // poll, empty for the others.
    std::array<QString, kReadingCount> AlarmNotes() const;

private:
    void RulesChanged(const TAlarmRules& rules);
    void Tell(const std::vector<TAlarmEvent>& events);
    void NotificationOutcome(bool delivered, const std::string& reason);
    void ShowNotificationState(const QString& testResult = QString());

    TForm1& form_;
    TAlarmRowNotes fileNotes_;  // filled while evaluator_ is made, shown once the page is there
    TAlarmEvaluator evaluator_;
    platform::TDesktopNotifier notifier_;
    std::unique_ptr<TAlarmTray> tray_;
    std::unique_ptr<TAlarmCommandRunner> commands_;
    TAlarmsPage* page_ = nullptr;  // owned by the window's page control
    std::array<QLineEdit*, kAnalogueReadingCount> boxes_{};
    std::array<QColor, kAnalogueReadingCount> normalBases_;
    std::vector<TAlarmEvent> latest_;
    // Start notifications the service showed, with their alarms that have not ended yet: the
    // notification of their end takes the place of the start's.
    std::vector<std::pair<uint32_t, std::vector<std::string>>> openNotices_;
    std::string unitAddress_;
    QString lastPoll_;
    QString notificationProblem_;
    bool polled_ = false;
    bool lastPollFailed_ = false;
    bool failureShown_ = false;
    bool trayWanted_ = false;
};

}  // namespace quorvane
