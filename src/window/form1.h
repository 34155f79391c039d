#pragma once

#include <QColor>
#include <QMainWindow>
#include <QPalette>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "monitor/poll_outcome.h"
#include "monitor/readings.h"
#include "monitor/unit_target.h"
#include "platform/gui/box_bytes.h"
#include "platform/gui/gui_timer.h"
#include "platform/gui/static_text.h"
#include "platform/gui/up_down.h"

class QAction;
class QCloseEvent;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QStyle;
class QTabWidget;
class QToolButton;
class QWidget;

namespace quorvane {

class TAlarmMonitor;
class TPollWatch;
class TReadingFreshness;
class TWatchPage;
class THistoryPage;
class THistoryRecorder;

// Process-wide state of the window unit: the settings file and section names, computed when
// the window is created and kept until the unit is finalised, after the window is gone.
extern std::string SettingsFileName;
extern std::string SettingsSectionName;

// Unit start: the poll counters start at zero before any window exists.
void InitializeMonitorWindowUnit();
// Unit end, after the window has been destroyed (and has saved the settings with the names).
void FinalizeMonitorWindowUnit();

// Texts of the program's own (our) identity.
extern const char* const MakerNotice;
extern const char* const MakerHomePage;
extern const char* const UnitMakerHomePage;

// The monitor's one fixed-size window: the connection settings, single and periodic polls,
// the readings, the counters and the result of the last poll.
class TForm1 : public QMainWindow {
public:
    static constexpr const char* Caption = "Quorvane Ver.0.1";

    // The poll the window runs; PollUnit unless a test puts another in its place. The window
    // applies its result to the reading record and the counters.
    using PollFunction = std::function<TPollResult(const TUnitTarget& target)>;

    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    void SetPollFunction(PollFunction poll) { poll_ = std::move(poll); }

    // Handlers.
    void FormCreate();
    void FormDestroy();
    void CloseX1Click();
    void Brenwick1Click();
    void Tessivo1Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void Timer1Timer();
    void UDIntChangingEx(bool& allowChange, int16_t newValue, platform::TUpDownDirection direction);
    void GBCountDblClick();

    // Shows a line in the reason panel (and as its accessible description).
    void ShowNotice(const QString& text);
    // Brings the alarms into the boxes' and lamps' tooltips and accessible descriptions, where
    // a red box alone would tell nothing to a screen reader or to eyes that do not see red.
    void ShowReadingNotes();

    // Lime for an input that is on (InputOn), silver for one that is off or in no known state.
    static QColor LampColor(const std::string& text);
    // The window's colours on a desktop with the given ones: a white background, and text
    // that stays readable on it.
    static QPalette WhiteWindowPalette(const QPalette& desktop, const QStyle& style);

    // Controls, named as the window's components.
    QMenu* FileF1 = nullptr;
    QAction* CloseX1 = nullptr;
    QMenu* BrenwickHomepage1 = nullptr;
    QAction* Brenwick1 = nullptr;
    QAction* Tessivo1 = nullptr;

    QGroupBox* GroupBox6 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QGroupBox* GroupBox7 = nullptr;
    QLineEdit* Memo2 = nullptr;
    platform::TUpDown* UDCt = nullptr;
    QLineEdit* Memo1 = nullptr;
    platform::TUpDown* UDRt = nullptr;
    QLineEdit* MemoInt = nullptr;
    platform::TUpDown* UDInt = nullptr;
    platform::TStaticText* StResult = nullptr;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    THistoryPage* HistoryPage = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QFrame* D[16] = {};  // D_01 .. D_16
    QGroupBox* GBCount = nullptr;
    QLineEdit* MemoInterval = nullptr;
    QLineEdit* MemoError = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit* Memo10 = nullptr;
    QLineEdit* Memo11 = nullptr;
    QLineEdit* Memo12 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLineEdit* Memo4 = nullptr;
    QLineEdit* Memo5 = nullptr;
    QLineEdit* Memo6 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QLineEdit* Memo7 = nullptr;
    QLineEdit* Memo8 = nullptr;
    QLineEdit* Memo9 = nullptr;
    // The nine value boxes in catalogue order: Memo10..12 (Temp), Memo4..6 (Fan), Memo7..9 (Volt).
    std::array<QLineEdit*, kAnalogueReadingCount> ValueBoxes{};
    QLabel* StatusBar1Panel = nullptr;
    // Why the last poll failed, when the last good one was, and one-off notices of the parts
    // beside the poll (history, notifications); empty until there is something to say.
    QLabel* ReasonPanel = nullptr;

    platform::TTimer Timer1;

    // The alarms: the "Alarms" page, notifications, red boxes and the tray icon; it keeps the
    // events of the latest poll.
    std::unique_ptr<TAlarmMonitor> Alarms;
    // The "Watching" page: watching from the start, at login and in the tray (owned by the
    // page control).
    TWatchPage* Watching = nullptr;

private:
    // Creates every control with its initial value (form1_controls.cpp).
    void BuildControls();
    // Places the settings' captions and boxes after the window's font (form1_controls.cpp).
    void PlaceSettings();
    void changeEvent(QEvent* event) override;
    void PollCycle();
    bool OpenURL(const std::string& url);
    void LoadSettings();
    void SaveSettings();
    // The unit's settings as the controls hold them (the interval only when asked for), and
    // the control of each settings key.
    TUnitSettings ShownSettings(bool withInterval = true) const;
    QLineEdit* SettingBox(const TUnitSettingKey& key) const;
    platform::TUpDown* SettingSpinner(const TUnitSettingKey& key) const;
    void ShowLamp(int index, const std::string& reading);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    std::array<QLabel*, 4> editCaptions_{};
    std::array<QLabel*, 3> spinnerCaptions_{};
    std::array<QLabel*, 3> spinnerUnits_{};  // "Sec"
    PollFunction poll_;
    // The settings' text boxes keep the bytes they were loaded with until the user edits them.
    platform::TBoxBytes boxBytes_;
    // Keeps the window alive during a poll and tells why one failed.
    std::unique_ptr<TPollWatch> pollWatch_;
    std::unique_ptr<THistoryRecorder> history_;  // beside the settings file, from FormCreate on
    std::unique_ptr<TReadingFreshness> freshness_;  // greys what the latest poll did not read
};

}  // namespace quorvane
