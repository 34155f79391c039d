#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "history/history_store.h"
#include "monitor/alarm_rules.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace quorvane {

class THistoryChart;
class THistoryWindow;

// The "History" page of the window: the kept polls of a chosen group and time range as a
// chart, failed polls and alarm events marked below it, the range as CSV, and the way to the
// History window, which shows more at once and at any zoom.
class THistoryPage : public QWidget {
public:
    enum TGroup { Temperatures, FanSpeeds, Voltages, Inputs };
    enum TRange { Last5Minutes, Last15Minutes, LastHour, LastDay, LastWeek, LastMonth, Everything };

    explicit THistoryPage(QWidget* parent = nullptr);
    ~THistoryPage() override;

    // Where the page reads from; the source may answer null while history is not kept.
    void SetStoreSource(std::function<THistoryStore*()> source);
    // The alarm rules whose limits the charts draw.
    void SetLimitsSource(std::function<const TAlarmRules*()> source);
    // The clock the ranges end at (tests fix it); wall-clock milliseconds since 1970 UTC.
    void SetClock(std::function<int64_t()> now) { now_ = std::move(now); }
    // The settings file the History window keeps its size, place, groups and range in.
    void SetSettingsFileName(std::string fileName) { settingsFile_ = std::move(fileName); }
    // A poll has been kept: follow it while the page (or the window) is shown.
    void PollRecorded();
    // Reads the chosen range again and redraws.
    void Refresh();
    // The chosen range as CSV into the file; false (with a message box) when it cannot be written.
    bool ExportCsv(const QString& fileName);
    // Opens the History window (or brings it forward).
    void OpenWindow();
    // Keeps what the window's settings are now; the program ends.
    void SaveWindowSettings();
    THistoryWindow* Window() const { return window_.get(); }

    // The time span the chart shows, [from, to) in milliseconds since 1970 UTC.
    int64_t FromMs() const { return fromMs_; }
    int64_t ToMs() const { return toMs_; }

    QComboBox* GroupChoice = nullptr;
    QComboBox* RangeChoice = nullptr;
    QPushButton* WindowButton = nullptr;
    QPushButton* ExportButton = nullptr;
    THistoryChart* Chart = nullptr;
    QLabel* PointerLabel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ExportClick();

    std::function<THistoryStore*()> storeSource_;
    std::function<const TAlarmRules*()> limitsSource_;
    std::function<int64_t()> now_;
    std::string settingsFile_;
    std::unique_ptr<THistoryWindow> window_;
    int64_t fromMs_ = 0;
    int64_t toMs_ = 1;
};

}  // namespace quorvane
