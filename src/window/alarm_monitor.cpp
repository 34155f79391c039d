#include "window/alarm_monitor.h"

#include <QDateTime>
#include <QLineEdit>
#include <QTabWidget>

#include <exception>
#include <iostream>

#include "monitor/alarm_settings.h"
#include "window/alarm_tray.h"
#include "window/alarms_page.h"
#include "window/form1.h"
#include "monitor/sensor_poll.h"

namespace quorvane {

namespace {

const QColor kAlarmBackground(255, 90, 90);

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
    for (size_t row = 0; row < boxes_.size(); ++row) normalPalettes_[row] = boxes_[row]->palette();

    page_ = new TAlarmsPage(evaluator_.Rules());
    form.PageControl1->addTab(page_, QStringLiteral("Alarms"));
    for (int row = 0; row < kAnalogueReadingCount; ++row) page_->ShowRowReason(row, fileNotes_[static_cast<size_t>(row)]);
    page_->SetOnRulesChanged([this](const TAlarmRules& rules) { RulesChanged(rules); });
    page_->SetOnTestNotification([this] {
        notifier_.Notify("Quorvane: test notification",
                         "Alarms of the unit " + (unitAddress_.empty() ? form_.Edit1->text().toStdString() : unitAddress_) +
                             " will look like this.",
                         platform::TDesktopNotifier::TUrgency::Normal);
    });
    notifier_.SetOnFailed([this](const std::string& reason) { NotificationFailed(reason); });

    tray_ = std::make_unique<TAlarmTray>([this] {
        form_.showNormal();
        form_.raise();
        form_.activateWindow();
    });
    ShowState();
}

TAlarmMonitor::~TAlarmMonitor() {
    // The page outlives this object by a moment (the window deletes its widgets last), and a
    // box that loses its focus then still reports an edit.
    page_->SetOnRulesChanged({});
    page_->SetOnTestNotification({});
}

void TAlarmMonitor::AfterPoll(const TPollOutcome& outcome, const std::string& host, int32_t port) {
    unitAddress_ = port == 80 ? host : host + ":" + std::to_string(port);
    latest_ = evaluator_.Evaluate(outcome, Reading, unitAddress_);
    polled_ = true;
    lastPollFailed_ = !outcome.Succeeded;
    const QString time = QDateTime::fromMSecsSinceEpoch(outcome.StartedAtMs).toString(QStringLiteral("HH:mm:ss"));
    lastPoll_ = outcome.Succeeded
                    ? QStringLiteral("last poll %1: Response Code %2").arg(time).arg(outcome.Code)
                    : QStringLiteral("last poll %1 failed: %2").arg(time, Utf8(outcome.FailureReason));
    for (const TAlarmEvent& event : latest_) Tell(event);
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

void TAlarmMonitor::Tell(const TAlarmEvent& event) {
    notifier_.Notify(event.Title, event.Text,
                     event.Started ? platform::TDesktopNotifier::TUrgency::Critical
                                   : platform::TDesktopNotifier::TUrgency::Normal);
}

void TAlarmMonitor::NotificationFailed(const std::string& reason) {
    // Said once: a desktop without the service would otherwise repeat it at every alarm.
    if (failureShown_) return;
    failureShown_ = true;
    form_.ShowNotice(QStringLiteral("No desktop notifications: ") + Utf8(reason));
}

void TAlarmMonitor::ShowState() {
    for (int row = 0; row < kAnalogueReadingCount; ++row) {
        QLineEdit* box = boxes_[static_cast<size_t>(row)];
        QPalette palette = normalPalettes_[static_cast<size_t>(row)];
        const bool alarmed = evaluator_.ReadingAlarmed(row);
        if (alarmed) palette.setColor(QPalette::Base, kAlarmBackground);
        box->setPalette(palette);
    }
    QString active;
    for (const std::string& line : evaluator_.ActiveDescriptions()) {
        active += (active.isEmpty() ? QString() : QStringLiteral("; ")) + Utf8(line);
    }
    page_->ShowActive(active.isEmpty() ? QString() : QStringLiteral("Active: ") + active);

    tray_->SetVisible(evaluator_.Rules().AnyWatched());
    const TAlarmTray::TState state = !polled_ || lastPollFailed_ ? TAlarmTray::TState::Silent
                                     : evaluator_.AnyActive()    ? TAlarmTray::TState::Alarm
                                                                 : TAlarmTray::TState::Quiet;
    tray_->Show(state, QStringLiteral("Quorvane: ") + (polled_ ? lastPoll_ : QStringLiteral("no poll yet")) +
                           (active.isEmpty() ? QString() : QStringLiteral("\n") + active));
}

}  // namespace quorvane
