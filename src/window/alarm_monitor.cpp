#include "window/alarm_monitor.h"

#include <QDateTime>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>
#include <exception>
#include <iostream>

#include "monitor/alarm_command_environment.h"
#include "monitor/alarm_notice.h"
#include "monitor/alarm_settings.h"
#include "monitor/sensor_poll.h"
#include "platform/gui/application.h"
#include "window/alarm_command.h"
#include "window/alarm_tray.h"
#include "window/alarms_page.h"
#include "window/form1.h"

namespace quorvane {

namespace {

const QColor kAlarmBackground(255, 90, 90);
// Start notifications remembered for their end to replace; the oldest are forgotten first.
constexpr size_t kMaxOpenNotices = 64;

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A settings file that cannot be read leaves the alarms off rather than the window unopened.
TAlarmRules LoadRules(TAlarmRowNotes& notes) {
    try {
        return TAlarmSettings::Load(SettingsFileName, std::cerr, &notes);
    } catch (const std::exception& error) {
        std::cerr << SettingsFileName << ": alarms not loaded: " << error.what() << "\n";
        return TAlarmRules{};
    }
}

}  // namespace

TAlarmMonitor::TAlarmMonitor(TForm1& form) : form_(form), evaluator_(LoadRules(fileNotes_)) {
    boxes_ = form.ValueBoxes;
    for (size_t row = 0; row < boxes_.size(); ++row) normalBases_[row] = boxes_[row]->palette().color(QPalette::Base);

    page_ = new TAlarmsPage(evaluator_.Rules());
    form.PageControl1->addTab(page_, QStringLiteral("Alarms"));
    for (int row = 0; row < kAnalogueReadingCount; ++row) page_->ShowRowReason(row, fileNotes_[static_cast<size_t>(row)]);
    page_->SetOnRulesChanged([this](const TAlarmRules& rules) { RulesChanged(rules); });
    page_->SetOnTestNotification([this] {
        notifier_.Notify("Quorvane: test notification",
                         "Alarms of the unit " + (unitAddress_.empty() ? form_.Edit1->text().toStdString() : unitAddress_) +
                             " will look like this.",
                         platform::TDesktopNotifier::TUrgency::Normal, 0, [this](bool delivered, uint32_t) {
                             ShowNotificationState(delivered ? QStringLiteral("Test notification delivered.")
                                                             : QStringLiteral("Test notification not delivered."));
                         });
    });
    notifier_.SetOnOutcome([this](bool delivered, const std::string& reason) { NotificationOutcome(delivered, reason); });
    commands_ = std::make_unique<TAlarmCommandRunner>([this](const QString& line) { form_.ShowNotice(line); });

    TAlarmTray::TActions actions;
    actions.Show = [this] {
        form_.showNormal();
        form_.raise();
        form_.activateWindow();
    };
    actions.PollNow = [this] { platform::RunHandler([this] { form_.Timer1Timer(); }); };
    actions.PauseOrResume = [this] { form_.SpeedButton1->toggle(); };
    actions.Quit = [this] { platform::RunHandler([this] { form_.CloseX1Click(); }); };
    tray_ = std::make_unique<TAlarmTray>(std::move(actions));
    // After the button's own handler has polled.
    QObject::connect(form.SpeedButton1, &QToolButton::toggled, page_, [this] { ShowState(); });
    ShowState();
}

TAlarmMonitor::~TAlarmMonitor() {
    // The page outlives this object by a moment (the window deletes its widgets last), and a
    // box that loses its focus then still reports an edit.
    page_->SetOnRulesChanged({});
    page_->SetOnTestNotification({});
    QObject::disconnect(form_.SpeedButton1, nullptr, page_, nullptr);
}

void TAlarmMonitor::AfterPoll(const TPollOutcome& outcome, const TReadingSet& current, const std::string& host,
                              int32_t port) {
    unitAddress_ = port == 80 ? host : host + ":" + std::to_string(port);
    latest_ = evaluator_.Evaluate(outcome, Reading, current, unitAddress_);
    polled_ = true;
    lastPollFailed_ = !outcome.Succeeded;
    const QString time = QDateTime::fromMSecsSinceEpoch(outcome.StartedAtMs).toString(QStringLiteral("HH:mm:ss"));
    lastPoll_ = outcome.Succeeded
                    ? QStringLiteral("last poll %1: Response Code %2").arg(time).arg(outcome.Code)
                    : QStringLiteral("last poll %1 failed: %2").arg(time, Utf8(outcome.FailureReason));
    Tell(latest_);
    const std::string& command = evaluator_.Rules().Command;
    if (!command.empty()) {
        for (const TAlarmEvent& event : latest_) {
            commands_->Run(command, event, AlarmCommandEnvironment(event, evaluator_.Rules(), Reading, unitAddress_));
        }
    }
    ShowState();
}

void TAlarmMonitor::RulesChanged(const TAlarmRules& rules) {
    evaluator_.SetRules(rules);
    ShowState();
    try {
        TAlarmSettings::Save(SettingsFileName, rules);
    } catch (const std::exception& error) {
        form_.ShowNotice(QStringLiteral("Alarms not saved: ") + QString::fromLocal8Bit(error.what()));
    }
}

void TAlarmMonitor::Tell(const std::vector<TAlarmEvent>& events) {
    for (TAlarmNotice& notice : GroupAlarmEvents(events)) {
        uint32_t replaces = 0;
        if (!notice.Started) {
            // The latest start notification whose alarms have now all ended gives its place.
            for (auto it = openNotices_.begin(); it != openNotices_.end();) {
                std::vector<std::string>& open = it->second;
                std::erase_if(open, [&](const std::string& key) {
                    return std::find(notice.Keys.begin(), notice.Keys.end(), key) != notice.Keys.end();
                });
                if (open.empty()) {
                    replaces = it->first;
                    it = openNotices_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        platform::TDesktopNotifier::DeliveredHandler remember;
        if (notice.Started && !notice.Lasting.empty()) {
            remember = [this, keys = notice.Lasting](bool delivered, uint32_t id) {
                if (!delivered || id == 0) return;
                if (openNotices_.size() >= kMaxOpenNotices) openNotices_.erase(openNotices_.begin());
                openNotices_.emplace_back(id, keys);
            };
        }
        notifier_.Notify(notice.Title, notice.Body,
                         notice.Started ? platform::TDesktopNotifier::TUrgency::Critical
                                        : platform::TDesktopNotifier::TUrgency::Normal,
                         replaces, std::move(remember));
    }
}

void TAlarmMonitor::NotificationOutcome(bool delivered, const std::string& reason) {
    if (delivered) {
        failureShown_ = false;
        if (notificationProblem_.isEmpty()) return;
        notificationProblem_.clear();
    } else {
        notificationProblem_ = Utf8(reason);
        // Said once in the status bar: a desktop without the service would otherwise repeat it
        // at every alarm. The page and the tray keep saying it.
        if (!failureShown_) {
            failureShown_ = true;
            form_.ShowNotice(QStringLiteral("No desktop notifications: ") + notificationProblem_);
        }
    }
    ShowState();
}

void TAlarmMonitor::ShowNotificationState(const QString& testResult) {
    QString text = testResult;
    if (!notificationProblem_.isEmpty()) {
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) +
                QStringLiteral("Notifications not delivered: %1; tried again at the next alarm.").arg(notificationProblem_);
    }
    page_->ShowNotificationState(text);
}

void TAlarmMonitor::SetTrayWanted(bool wanted) {
    trayWanted_ = wanted;
    ShowState();
}

std::array<QString, kReadingCount> TAlarmMonitor::AlarmNotes() const {
    std::array<QString, kReadingCount> notes;
    for (const TAlarmEvaluator::TActive& active : evaluator_.ActiveAlarms()) {
        if (active.Reading < 0) continue;  // the silent unit is no reading's
        QString& note = notes[static_cast<size_t>(active.Reading)];
        note += (note.isEmpty() ? QStringLiteral("Alarm: ") : QStringLiteral("; ")) + Utf8(active.Description);
    }
    return notes;
}

void TAlarmMonitor::ShowState() {
    for (int row = 0; row < kAnalogueReadingCount; ++row) {
        QLineEdit* box = boxes_[static_cast<size_t>(row)];
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base,
                         evaluator_.ReadingAlarmed(row) ? kAlarmBackground : normalBases_[static_cast<size_t>(row)]);
        box->setPalette(palette);
    }
    const std::vector<std::string> lines = evaluator_.ActiveDescriptions();
    QString active;
    for (const std::string& line : lines) {
        active += (active.isEmpty() ? QString() : QStringLiteral("; ")) + Utf8(line);
    }
    page_->ShowActive(active.isEmpty() ? QString() : QStringLiteral("Active: ") + active);
    form_.ShowReadingNotes();
    ShowNotificationState();

    tray_->SetVisible(trayWanted_ || evaluator_.Rules().AnyWatched());
    const bool watching = form_.SpeedButton1->isChecked();
    const TAlarmTray::TState state = !watching || !polled_ ? TAlarmTray::TState::Idle
                                     : lastPollFailed_     ? TAlarmTray::TState::NoAnswer
                                     : !lines.empty()      ? TAlarmTray::TState::Alarm
                                                           : TAlarmTray::TState::Quiet;
    QString toolTip = QStringLiteral("Quorvane: ") + (watching ? QString() : QStringLiteral("not watching; ")) +
                      (polled_ ? lastPoll_ : QStringLiteral("no poll yet"));
    for (const std::string& line : lines) toolTip += QLatin1Char('\n') + Utf8(line);
    if (!notificationProblem_.isEmpty()) toolTip += QStringLiteral("\nNotifications not delivered: ") + notificationProblem_;
    tray_->Show(state, toolTip, watching);
}

}  // namespace quorvane
