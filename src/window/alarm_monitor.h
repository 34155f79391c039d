#pragma once

#include <QPalette>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "monitor/alarm_evaluator.h"
#include "monitor/alarm_event.h"
#include "monitor/alarm_settings.h"
#include "monitor/poll_outcome.h"
#include "platform/gui/desktop_notifier.h"

class QLineEdit;

namespace quorvane {

class TAlarmTray;
class TAlarmsPage;
class TForm1;

// The alarms in the window: loads the rules from the settings file, adds the "Alarms" page,
// and after every poll tells the user of each alarm that started or ended (desktop
// notification, red reading box, tray icon, the page's list of active alarms). The rules are
// written back to the settings file only when the user changes them on the page.
class TAlarmMonitor {
public:
    explicit TAlarmMonitor(TForm1& form);
    ~TAlarmMonitor();
    TAlarmMonitor(const TAlarmMonitor&) = delete;
    TAlarmMonitor& operator=(const TAlarmMonitor&) = delete;

    // Right after a poll, before the window shows its values.
    void AfterPoll(const TPollOutcome& outcome, const std::string& host, int32_t port);

    // The events of the latest poll (for the history).
    const std::vector<TAlarmEvent>& LatestEvents() const { return latest_; }
    const TAlarmEvaluator& Evaluator() const { return evaluator_; }
    TAlarmsPage* Page() const { return page_; }

private:
    void RulesChanged(const TAlarmRules& rules);
    void Tell(const TAlarmEvent& event);
    void NotificationFailed(const std::string& reason);
    void ShowState();

    TForm1& form_;
    TAlarmRowNotes fileNotes_;  // filled while evaluator_ is made, shown once the page is there
    TAlarmEvaluator evaluator_;
    platform::TDesktopNotifier notifier_;
    std::unique_ptr<TAlarmTray> tray_;
    TAlarmsPage* page_ = nullptr;  // owned by the window's page control
    std::array<QLineEdit*, kAnalogueReadingCount> boxes_{};
    std::array<QPalette, kAnalogueReadingCount> normalPalettes_;
    std::vector<TAlarmEvent> latest_;
    std::string unitAddress_;
    QString lastPoll_;
    bool polled_ = false;
    bool lastPollFailed_ = false;
    bool failureShown_ = false;
};

}  // namespace quorvane
