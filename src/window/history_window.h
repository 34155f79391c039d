#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "history/history_view.h"
#include "history/history_window_settings.h"
#include "window/history_chart.h"

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quorvane {

// Asks where to write a CSV file (of polls, or of failed polls and events).
QString AskHistoryCsvName(QWidget* parent, bool events, int64_t nowMs);
// The polls (or failed polls and events) of a stretch as CSV into the file; false, with a
// message box, when it cannot be written.
bool WriteHistoryFile(THistoryStore* store, const QString& fileName, const THistorySpan& span, bool events,
                      QWidget* parent);

// "Quorvane History": the history in a window of its own that can be resized and maximised.
// Any of the four groups as stacked lanes over one time axis; any stretch of time by range,
// by typed times, by dragging, the wheel or keys, with every step undone by Back; the
// statistics of each series shown beside the chart and a list of failed polls and alarm
// events. Its size, place, groups and range are kept in the settings file.
class THistoryWindow : public QWidget {
public:
    // The ranges of the list, in the order of THistoryWindowSettings::kRangeWords.
    static const std::array<int64_t, THistoryWindowSettings::kRangeCount> kRangeLengths;

    // `settingsFile` empty: nothing is kept.
    explicit THistoryWindow(std::string settingsFile, QWidget* parent = nullptr);
    ~THistoryWindow() override;

    void SetStoreSource(std::function<THistoryStore*()> source);
    void SetLimitsSource(std::function<const TAlarmRules*()> source);
    // The clock the ranges end at (tests fix it); wall-clock milliseconds since 1970 UTC.
    void SetClock(std::function<int64_t()> now) { now_ = std::move(now); }

    // A poll has been kept: a live view follows it.
    void PollRecorded();
    // Shows [fromMs, toMs) as the From and To boxes would.
    void ShowSpan(int64_t fromMs, int64_t toMs);
    // The stretch shown as CSV (polls, or failed polls and events) into the file; false, with
    // a message box, when it cannot be written.
    bool ExportCsv(const QString& fileName);
    bool ExportEvents(const QString& fileName);
    // Writes the window's section of the settings file if anything changed since it was read.
    void SaveSettings();
    // What would be written now.
    THistoryWindowSettings CurrentSettings() const;

    THistoryView& View() { return view_; }

    std::array<QCheckBox*, kHistoryGroupCount> GroupChecks{};
    QComboBox* RangeChoice = nullptr;
    QToolButton* LiveButton = nullptr;
    QToolButton* BackButton = nullptr;
    QToolButton* HomeButton = nullptr;
    QToolButton* ZoomOutButton = nullptr;
    QToolButton* ZoomInButton = nullptr;
    QDateTimeEdit* FromEdit = nullptr;
    QDateTimeEdit* ToEdit = nullptr;
    QPushButton* ShowButton = nullptr;
    QPushButton* ExportButton = nullptr;
    QPushButton* ExportEventsButton = nullptr;
    THistoryChart* Chart = nullptr;
    QTreeWidget* Legend = nullptr;
    QTreeWidget* EventList = nullptr;
    QLabel* EventNote = nullptr;
    QLabel* ReadoutLabel = nullptr;

    // Events listed at most: the newest of the stretch shown.
    static constexpr size_t kEventRows = 1000;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildShortcuts();
    void RestoreGeometry();
    THistoryBounds Bounds() const;
    // Shows what the view holds: the chart's span, the boxes, the buttons; the lists follow.
    void Apply();
    void GroupsChanged();
    void RebuildLegend();
    void FillLegend();
    void FillEvents();
    void EventChosen(QTreeWidgetItem* item);
    void ZoomBy(double factor);
    void PanBy(double share);
    void ExportClick(bool events);

    std::string settingsFile_;
    THistoryWindowSettings loaded_;
    QRect normalGeometry_;         // the last size and place while neither maximised nor minimised
    std::optional<QRect> placed_;  // where the window was once the desktop had placed it
    std::function<THistoryStore*()> storeSource_;
    std::function<int64_t()> now_;
    THistoryView view_;
    bool eventsPending_ = false;
};

}  // namespace quorvane
