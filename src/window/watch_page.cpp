#include "window/watch_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>
#include <filesystem>
#include <iostream>

#include "platform/file_system.h"
#include "platform/gui/application.h"
#include "platform/login_autostart.h"
#include "window/alarm_monitor.h"
#include "window/alarm_tray.h"
#include "window/form1.h"

namespace quorvane {

namespace {

TWatchSettings LoadWatchSettings() {
    try {
        return TWatchSettings::Load(SettingsFileName, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << SettingsFileName << ": watch settings not loaded: " << error.what() << "\n";
        return TWatchSettings{};
    }
}

QCheckBox* MakeSwitch(QWidget* parent, QVBoxLayout* layout, const QString& text, bool checked) {
    auto* box = new QCheckBox(text, parent);
    box->setChecked(checked);
    layout->addWidget(box);
    return box;
}

}  // namespace

TWatchPage::TWatchPage(TForm1& form) : form_(form), settings_(LoadWatchSettings()) {
    setObjectName(QStringLiteral("TabSheetWatching"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    StartWatchingBox = MakeSwitch(this, layout, QStringLiteral("Start &watching when Quorvane starts"),
                                  settings_.StartWatching);
    StartAtLoginBox = MakeSwitch(this, layout, QStringLiteral("Start at &login"), platform::LoginAutostartEnabled());
    KeepInTrayBox = MakeSwitch(this, layout, QStringLiteral("&Keep watching in the tray when the window is closed"),
                               settings_.KeepInTray);
    NoteLabel = new QLabel(this);
    NoteLabel->setObjectName(QStringLiteral("WatchingNote"));
    NoteLabel->setWordWrap(true);
    NoteLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(NoteLabel);
    layout->addStretch(1);
    ShowNote(QString());
    connect(StartWatchingBox, &QCheckBox::toggled, this, [this] { platform::RunHandler([this] { SettingsEdited(); }); });
    connect(KeepInTrayBox, &QCheckBox::toggled, this, [this] { platform::RunHandler([this] { SettingsEdited(); }); });
    connect(StartAtLoginBox, &QCheckBox::toggled, this,
            [this] { platform::RunHandler([this] { StartAtLoginEdited(); }); });
    form.PageControl1->addTab(this, QStringLiteral("Watching"));
    form.Alarms->SetTrayWanted(settings_.KeepInTray);
    form.installEventFilter(this);
}

bool TWatchPage::WatchRequested(const QStringList& arguments) {
    return arguments.mid(1).contains(QStringLiteral("--watch"));
}

void TWatchPage::StartIfAsked(bool requested) {
    if (!requested && !settings_.StartWatching) return;
    // From the message loop, so that the window is up before the first poll.
    QTimer::singleShot(0, this, [this] {
        if (!form_.SpeedButton1->isChecked()) form_.SpeedButton1->setChecked(true);
    });
}

bool TWatchPage::CloseToTray(QCloseEvent& event) {
    if (ending_ || !settings_.KeepInTray) return false;
    TAlarmTray* tray = form_.Alarms->Tray();
    if (tray == nullptr || !tray->Available() || !TAlarmTray::Present()) return false;
    event.ignore();
    // Closing a message box while the window is away must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    form_.hide();
    return true;
}

void TWatchPage::CloseProgram() {
    ending_ = true;
    QApplication::setQuitOnLastWindowClosed(true);
    // A window away in the tray has no close left to end the program with: it ends as through
    // File > Exit.
    if (form_.isVisible()) form_.close();
    else form_.CloseX1Click();
}

bool TWatchPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &form_ && event->type() == QEvent::Show) QApplication::setQuitOnLastWindowClosed(true);
    return QWidget::eventFilter(watched, event);
}

void TWatchPage::SettingsEdited() {
    TWatchSettings edited = settings_;
    edited.StartWatching = StartWatchingBox->isChecked();
    edited.KeepInTray = KeepInTrayBox->isChecked();
    if (edited == settings_) return;
    settings_ = edited;
    form_.Alarms->SetTrayWanted(settings_.KeepInTray);
    ShowNote(QString());
    try {
        TWatchSettings::Save(SettingsFileName, settings_);
    } catch (const std::exception& error) {
        ShowNote(QStringLiteral("Not saved: ") + QString::fromLocal8Bit(error.what()));
    }
}

void TWatchPage::StartAtLoginEdited() {
    const bool on = StartAtLoginBox->isChecked();
    // The same settings file and history at login: the entry starts in the folder of this one.
    const std::string folder = std::filesystem::path(platform::FullPathName(SettingsFileName)).parent_path().string();
    const std::string failure = on ? platform::EnableLoginAutostart(platform::ExecutablePath(), folder)
                                   : platform::DisableLoginAutostart();
    if (failure.empty()) {
        ShowNote(QString());
        return;
    }
    const QSignalBlocker quiet(StartAtLoginBox);
    StartAtLoginBox->setChecked(platform::LoginAutostartEnabled());
    ShowNote(QStringLiteral("Start at login not changed: ") + QString::fromLocal8Bit(failure.c_str()));
}

void TWatchPage::ShowNote(const QString& text) {
    QString note = text;
    if (note.isEmpty() && !TAlarmTray::Present()) {
        note = QStringLiteral("This desktop has no system tray: closing the window ends the program.");
    }
    NoteLabel->setText(note);
    NoteLabel->setAccessibleDescription(note);
}

}  // namespace quorvane
