#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

#include "history/history_store.h"

class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QScatterSeries;
class QValueAxis;

namespace quorvane {

// The "History" page of the window: the kept polls of a chosen group and time range as a
// chart, failed polls and alarm events marked on the time axis, and the range as CSV.
class THistoryPage : public QWidget {
public:
    enum TGroup { Temperatures, FanSpeeds, Voltages, Inputs };
    enum TRange { LastHour, LastDay, LastWeek, LastMonth, Everything };

    explicit THistoryPage(QWidget* parent = nullptr);

    // Where the page reads from; the source may answer null while history is not kept.
    void SetStoreSource(std::function<THistoryStore*()> source) { storeSource_ = std::move(source); }
    // The clock the ranges end at (tests fix it); wall-clock milliseconds since 1970 UTC.
    void SetClock(std::function<int64_t()> now) { now_ = std::move(now); }
    // A poll has been kept: follow it while the page is shown.
    void PollRecorded();
    // Reads the chosen range again and redraws.
    void Refresh();
    // The chosen range as CSV into the file; false (with a message box) when it cannot be written.
    bool ExportCsv(const QString& fileName);

    // The time span the chart shows, [from, to) in milliseconds since 1970 UTC.
    int64_t FromMs() const { return fromMs_; }
    int64_t ToMs() const { return toMs_; }

    QComboBox* GroupChoice = nullptr;
    QComboBox* RangeChoice = nullptr;
    QPushButton* ExportButton = nullptr;
    QChartView* ChartView = nullptr;
    QLabel* PointerLabel = nullptr;
    QChart* Chart = nullptr;
    QDateTimeAxis* TimeAxis = nullptr;
    QValueAxis* ValueAxis = nullptr;
    std::vector<QLineSeries*> Lines;  // one per field of the group, in field order
    QScatterSeries* FailureMarks = nullptr;
    QScatterSeries* EventMarks = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildSeries();
    void ExportClick();
    void ShowPointer(const QPointF& position);
    void ShowMark(const QPointF& point, bool failure);
    std::vector<int> Fields() const;

    std::function<THistoryStore*()> storeSource_;
    std::function<int64_t()> now_;
    int64_t fromMs_ = 0;
    int64_t toMs_ = 1;
    std::vector<THistoryMark> marks_;
};

}  // namespace quorvane
