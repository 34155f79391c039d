#pragma once

#include <QStringList>
#include <QWidget>

#include "monitor/watch_settings.h"

class QCheckBox;
class QCloseEvent;
class QLabel;


namespace quorvane {

class TForm1;

// The "Watching" page: how the monitor keeps watching on its own. "Start watching when
// Quorvane starts" presses "Get Status" at start (as the --watch option does), "Start at
// login" puts the desktop's autostart entry in place or takes it away, and "Keep watching in
// the tray when the window is closed" makes the window's close button hide it while polling
// goes on. The [Watch] section is written only when the user changes one of these.
class TWatchPage : public QWidget {
public:
    explicit TWatchPage(TForm1& form);

    // Whether the command line asks to watch from the start.
    static bool WatchRequested(const QStringList& arguments);
    // At start, once the window is up: watches when the command line or the setting says so.
    void StartIfAsked(bool requested);
    // For the window's close request: true when the window went to the tray instead, which
    // happens with the setting on and a tray on the desktop, unless the program is ending: its
    // own requests (File > Exit, the tray's Quit, the session's end through CloseProgram)
    // always end it.
    bool CloseToTray(QCloseEvent& event);
    // Closes the window for good, as the end of the session asks.
    void CloseProgram();

    const TWatchSettings& Settings() const { return settings_; }

    QCheckBox* StartWatchingBox = nullptr;
    QCheckBox* StartAtLoginBox = nullptr;
    QCheckBox* KeepInTrayBox = nullptr;
    QLabel* NoteLabel = nullptr;

private:
    void SettingsEdited();
    void StartAtLoginEdited();
    void ShowNote(const QString& text);
    bool eventFilter(QObject* watched, QEvent* event) override;

    TForm1& form_;
    TWatchSettings settings_;
    bool ending_ = false;
};

}  // namespace quorvane
