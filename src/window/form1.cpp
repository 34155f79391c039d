#include "window/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <cstdio>

#include "history/history_recorder.h"
#include "window/alarm_monitor.h"
#include "window/history_page.h"
#include "window/poll_watch.h"
#include "window/reading_freshness.h"
#include "window/watch_page.h"
#include "monitor/ini_settings.h"
#include "monitor/sensor_poll.h"
#include "platform/gui/application.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/gui_text.h"
#include "platform/gui/shell.h"
#include "platform/gui/static_text.h"
#include "platform/locale_text.h"
#include "rtl/date_time.h"
#include "rtl/scope_exit.h"

namespace quorvane {

using platform::ToQString;

std::string SettingsFileName;
std::string SettingsSectionName;

const char* const MakerNotice = "Quorvane - a sensor-unit monitor by the Quorvane developers";
const char* const MakerHomePage = "https://www.example.com/quorvane/";
const char* const UnitMakerHomePage = "https://www.example.com/sensor-unit/";

void InitializeMonitorWindowUnit() {
    PollCount = 0;
    ErrorCount = 0;
}

void FinalizeMonitorWindowUnit() {
    SettingsFileName.clear();
    SettingsSectionName.clear();
}

namespace {

const QColor kLime(0, 255, 0);
const QColor kSilver(192, 192, 192);

// "hh : mm : ss" with the regional time separator in place of each ":".
std::string TimeText() {
    int32_t hour = 0, minute = 0, second = 0, millisecond = 0;
    DecodeTime(Now(), hour, minute, second, millisecond);
    const std::string separator = platform::TimeSeparator();
    char buffer[8];
    auto two = [&](int32_t number) {
        std::snprintf(buffer, sizeof buffer, "%02d", static_cast<int>(number));
        return std::string(buffer);
    };
    return two(hour) + " " + separator + " " + two(minute) + " " + separator + " " + two(second);
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), poll_(PollUnit) {
    BuildControls();
    pollWatch_ = std::make_unique<TPollWatch>(*this, *ReasonPanel, *StatusBar1Panel, *StResult);
    pollWatch_->KeepExitUsable(*menuBar(), *CloseX1);
    platform::RunHandler([this] { FormCreate(); });
    Alarms = std::make_unique<TAlarmMonitor>(*this);
    HistoryPage->SetLimitsSource([this] { return &Alarms->Evaluator().Rules(); });
    Watching = new TWatchPage(*this);
    freshness_ = std::make_unique<TReadingFreshness>(ValueBoxes, D);
    freshness_->SetAlarmNotes([this] { return Alarms->AlarmNotes(); });
}

TForm1::~TForm1() {
    platform::RunHandler([this] { FormDestroy(); });
}

void TForm1::FormCreate() {
    Timer1.SetEnabled(false);
    setWindowTitle(QString::fromLatin1(Caption));
    StatusBar1Panel->setText(QString::fromLatin1(MakerNotice));
    SettingsFileName = IniFileName();
    SettingsSectionName = IniSectionName();
    history_ = std::make_unique<THistoryRecorder>(SettingsSectionName + ".history.sqlite3");
    HistoryPage->SetStoreSource([this] { return history_->Store(); });
    HistoryPage->SetSettingsFileName(SettingsFileName);
    // The loaded interval takes effect even when it equals the spinner's initial position, so
    // that periodic polling works with the default settings; also when loading fails part way.
    const TScopeExit applyInterval([this] {
        const int16_t seconds = UDInt->Position();
        Timer1.SetInterval(seconds < 0 ? 0u : static_cast<uint32_t>(seconds) * 1000u);
    });
    LoadSettings();
}

void TForm1::FormDestroy() {
    Timer1.SetInterval(0);
    HistoryPage->SaveWindowSettings();
    SaveSettings();
}

void TForm1::LoadSettings() {
    EnsureIniFile(SettingsFileName);
    // Each control takes its key as soon as it is read: a file that fails part way leaves the
    // controls after it at their initial values.
    TUnitSettings settings = ShownSettings();
    for (const TUnitSettingKey& key : UnitSettingKeys()) {
        LoadUnitSetting(SettingsFileName, SettingsSectionName, key, settings);
        if (key.Text != nullptr) {
            boxBytes_.Show(*SettingBox(key), settings.*key.Text);
        } else {
            // The spinner's position is 16 bits wide and takes the value's low 16 bits.
            SettingSpinner(key)->SetPosition(static_cast<int16_t>(settings.*key.Number));
        }
    }
}

void TForm1::SaveSettings() { SaveUnitSettings(SettingsFileName, SettingsSectionName, ShownSettings()); }

TUnitSettings TForm1::ShownSettings(bool withInterval) const {
    TUnitSettings settings;
    for (const TUnitSettingKey& key : UnitSettingKeys()) {
        if (key.Text != nullptr) {
            settings.*key.Text = boxBytes_.Bytes(*SettingBox(key));
        } else if (withInterval || key.Number != &TUnitSettings::Interval) {
            settings.*key.Number = SettingSpinner(key)->Position();
        }
    }
    return settings;
}

QLineEdit* TForm1::SettingBox(const TUnitSettingKey& key) const {
    if (key.Text == &TUnitSettings::Address) return Edit1;
    if (key.Text == &TUnitSettings::Port) return Edit2;
    if (key.Text == &TUnitSettings::UserName) return Edit3;
    return Edit4;
}

platform::TUpDown* TForm1::SettingSpinner(const TUnitSettingKey& key) const {
    if (key.Number == &TUnitSettings::ConnectTimeout) return UDCt;
    if (key.Number == &TUnitSettings::ReadTimeout) return UDRt;
    return UDInt;
}

void TForm1::CloseX1Click() {
    Timer1.SetInterval(0);
    // As when the window is closed: a poll in progress gives up at once instead of holding the
    // end of the program for as long as the unit takes.
    if (pollWatch_ != nullptr) pollWatch_->DeferClose();
    if (platform::TApplication* application = platform::Application()) application->Terminate();
    else QApplication::quit();
}

void TForm1::Brenwick1Click() { OpenURL(MakerHomePage); }

void TForm1::Tessivo1Click() { OpenURL(UnitMakerHomePage); }

void TForm1::SpeedButton1Click() {
    // The button takes no focus, so a number just typed into a spinner's box has not been
    // applied yet; the timer must start with the interval the box shows.
    for (platform::TUpDown* spinner : {UDCt, UDRt, UDInt}) spinner->ApplyTyped();
    // Changed during a poll (a screen reader's toggle gets through): the poll's closing step
    // sets the timer after the button.
    if (pollWatch_->Polling()) return;
    if (SpeedButton1->isChecked()) PollCycle();
    Timer1.SetEnabled(SpeedButton1->isChecked());
}

void TForm1::SpeedButton2Click() {
    OpenURL("http://" + boxBytes_.Bytes(*Edit1) + ":" + boxBytes_.Bytes(*Edit2));
}

void TForm1::Timer1Timer() { PollCycle(); }

void TForm1::UDIntChangingEx(bool& allowChange, int16_t newValue, platform::TUpDownDirection /*direction*/) {
    if (!allowChange) return;
    // A negative proposal cannot come from the range 0..6000 except one step below 0; the
    // timer takes it as no interval rather than as a huge unsigned one.
    Timer1.SetInterval(newValue < 0 ? 0u : static_cast<uint32_t>(newValue) * 1000u);
}

void TForm1::GBCountDblClick() {
    PollCount = 0;
    ErrorCount = 0;
    MemoInterval->clear();
    MemoError->clear();
    MemoInterval->setText(QStringLiteral("0"));
    MemoError->setText(QStringLiteral("0"));
}

void TForm1::PollCycle() {
    // Nothing inside a poll may start another (the anti-freeze lets the window live meanwhile).
    if (pollWatch_->Polling()) return;
    // Not the interval: asking its spinner would take a number still being typed there
    // without telling the timer.
    const TUnitSettings settings = ShownSettings(false);
    const TUnitTarget target = settings.Target();
    Timer1.SetEnabled(false);

    const TScopeExit closing([this] {
        pollWatch_->End();
        repaint();
        // Periodic polling goes on only while "Get Status" is down: the button may have come
        // up during the poll.
        Timer1.SetEnabled(SpeedButton1->isChecked());
    });

    pollWatch_->Begin(target.Host, target.Port, settings.Port);
    const TPollResult result = poll_(target);
    pollWatch_->End();
    ApplyPollResult(result);
    const TPollOutcome& outcome = result.Outcome;
    Alarms->AfterPoll(outcome, result.Reached, target.Host, target.Port);
    // On disk before on screen: whatever the user has seen survives a crash.
    if (history_) {
        const std::string historyNews = history_->Record(outcome, Reading, Alarms->LatestEvents());
        if (!historyNews.empty()) ShowNotice(ToQString(historyNews));
    }

    const int32_t code = outcome.Code;
    const QString time = ToQString(TimeText());
    StResult->SetCaption(QStringLiteral("Response Code : ") + QString::number(code) + QChar(u'\r') + time);
    freshness_->Record(result.Reached, outcome.Succeeded, outcome.StartedAtMs);
    pollWatch_->ShowOutcome(outcome, time, freshness_->SilenceNote());
    StResult->setAccessibleName(QStringLiteral("Response Code %1").arg(code));
    MemoInterval->clear();
    MemoInterval->setText(QString::number(PollCount));
    MemoError->clear();
    MemoError->setText(QString::number(ErrorCount));
    for (const TReading& reading : Readings()) {
        if (reading.Group->Analogue()) {
            QLineEdit* box = ValueBoxes[static_cast<size_t>(reading.Index)];
            box->clear();
            box->setText(ToQString(reading.Of(Reading)));
        } else {
            ShowLamp(reading.Number, reading.Of(Reading));
        }
    }
    freshness_->ShowAfterPoll();
    HistoryPage->PollRecorded();
}

void TForm1::ShowNotice(const QString& text) {
    if (pollWatch_ != nullptr) pollWatch_->ShowNotice(text);
}

void TForm1::ShowReadingNotes() {
    if (freshness_) freshness_->ShowNotes();
}

void TForm1::ShowLamp(int index, const std::string& reading) {
    QFrame* lamp = D[index - 1];
    const QColor color = LampColor(reading);
    QPalette palette = lamp->palette();
    palette.setColor(QPalette::Window, color);
    lamp->setPalette(palette);
    const std::string label = ReadingOf(TReadingGroup::Input, index).Label();
    lamp->setAccessibleName(ToQString(label + (color == kLime ? " on" : " off")));
}

QColor TForm1::LampColor(const std::string& text) { return InputOn(text).value_or(false) ? kLime : kSilver; }

bool TForm1::OpenURL(const std::string& url) {
    const int result = platform::ShellExecuteA(this, "open", url, "", "", platform::SW_SHOW);
    const bool success = result > 32;
    if (!success) platform::MessageDlg("Error..." + url, platform::TMsgDlgType::mtError, this);
    return success;
}

void TForm1::closeEvent(QCloseEvent* event) {
    // Keeping watch in the tray: the window goes, polling goes on.
    if (Watching != nullptr && Watching->CloseToTray(*event)) return;
    // Closed during a poll: the poll gives up at once and the window closes right after it.
    if (pollWatch_ != nullptr && pollWatch_->DeferClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TForm1::changeEvent(QEvent* event) {
    // Not while the controls are being built (the window takes its font first).
    if (event->type() == QEvent::FontChange && StResult != nullptr) PlaceSettings();
    QMainWindow::changeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == GBCount && event->type() == QEvent::MouseButtonDblClick) {
        platform::RunHandler([this] { GBCountDblClick(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace quorvane
