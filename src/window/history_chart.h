#pragma once

#include <QGraphicsScene>
#include <QPixmap>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "history/history_axes.h"
#include "history/history_store.h"
#include "monitor/alarm_rules.h"

QT_BEGIN_NAMESPACE
class QAreaSeries;
class QCategoryAxis;
class QChart;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace quorvane {

// The four groups of readings a chart can show, each as a lane of its own, in the
// catalogue's order.
enum class THistoryGroup { Temperatures, FanSpeeds, Voltages, Inputs };
constexpr int kHistoryGroupCount = kReadingGroupCount;

struct THistoryGroupInfo {
    const TReadingGroupInfo* Readings;
    const char* Title;  // "Temperatures"
    bool NonNegative;   // a fan turns no slower than standing still
    bool Steps;         // on/off lanes that hold until the next poll
};
const THistoryGroupInfo& HistoryGroupInfo(THistoryGroup group);
// "Temp 1", "Input 16".
QString HistorySeriesLabel(int field);
QString HistoryUnit(int field);
// A moment in the desktop's date and time formats, to the second.
QString HistoryMomentText(int64_t ms);
// The same as a format for date and time boxes.
QString HistoryTimeFormat();

// The history of one or more groups as stacked lanes over one time axis, read from the store
// as per-pixel-column extremes: round ticks on both axes, the active alarm limits as dashed
// lines, failed polls and alarm events as marks below the lanes, and a cursor that reads the
// poll nearest in time. Interactive, it turns drags, the wheel and keys into requests to
// zoom or pan, which its owner answers by setting the new span.
//
// Each lane is a Qt chart, and the marks with the labelled time axis one more below them, all
// in one graphics scene that is drawn into a picture when something changed; the cursor, the
// band of a drag and the reading are drawn over that picture.
class THistoryChart : public QWidget {
public:
    struct TColumn {
        int64_t AtMs = 0;
        double Min = 0, Max = 0;
    };
    struct TSeries {
        int Field = 0;
        QColor Colour;
        bool Visible = true;
        std::vector<TColumn> Columns;
    };
    struct TLimit {
        int Field = 0;
        double Value = 0;
        bool High = true;
        QString Text;
    };
    struct TLane {
        THistoryGroup Group = THistoryGroup::Temperatures;
        std::vector<TSeries> Series;
        std::vector<TLimit> Limits;
        TValueTicks Axis;
        QRectF Plot;  // where the lane's values are drawn
        QRectF Header;
    };
    struct TStatistic {
        int Field = 0;
        THistoryStatistics Value;
    };

    explicit THistoryChart(QWidget* parent = nullptr);

    void SetStoreSource(std::function<THistoryStore*()> source) { storeSource_ = std::move(source); }
    void SetLimitsSource(std::function<const TAlarmRules*()> source) { limitsSource_ = std::move(source); }
    // The lanes, top to bottom; a series keeps whether it is shown when its group comes back.
    void SetGroups(const std::vector<THistoryGroup>& groups);
    std::vector<THistoryGroup> Groups() const;
    // Shows [fromMs, toMs): reads it from the store and repaints.
    void SetSpan(int64_t fromMs, int64_t toMs);
    // Reads the span again (a poll has come).
    void Reload();
    // Zooming, panning and the keys for them; off on the History page.
    void SetInteractive(bool interactive);
    void SetSeriesVisible(int field, bool visible);
    bool SeriesVisible(int field) const;
    // Fields shown, in lane order.
    std::vector<int> VisibleFields() const;

    int64_t FromMs() const { return fromMs_; }
    int64_t ToMs() const { return toMs_; }
    const std::vector<TLane>& Lanes() const { return lanes_; }
    const std::vector<THistoryMark>& Marks() const { return marks_; }
    // Why nothing could be read (history not kept, file unreadable); empty when all is well.
    const QString& Problem() const { return problem_; }
    // Minimum, mean, maximum and last value of each shown series over the span, from the
    // store; brought up to date right after the chart is drawn (or at once by this call).
    const std::vector<TStatistic>& Statistics();

    // The reading cursor: a moment under the pointer (or moved by keys), with the values of the
    // poll nearest to it. It stays until the pointer leaves, whatever is reloaded meanwhile.
    void SetCursorAt(std::optional<int64_t> atMs);
    std::optional<int64_t> CursorAt() const { return cursorAt_; }
    // The cursor's reading, one line per item; empty without a cursor.
    const QStringList& Readout() const { return readout_; }

    // The plot's horizontal extent and the moment at a position in it.
    double PlotLeft() const { return plotLeft_; }
    double PlotRight() const { return plotRight_; }
    int64_t TimeAt(double x) const;
    double XOf(int64_t ms) const;

    // Requests of an interactive chart, answered by its owner.
    std::function<void(int64_t fromMs, int64_t toMs)> OnZoomTo;
    std::function<void(double factor, int64_t anchorMs, bool merge)> OnZoom;
    std::function<void(int64_t deltaMs, bool merge)> OnPan;
    std::function<void()> OnBack;
    std::function<void()> OnHome;
    std::function<void()> OnDoubleClick;
    std::function<void()> OnReadout;     // the cursor's reading changed
    std::function<void()> OnStatistics;  // the statistics were brought up to date
    std::function<void(int field, bool visible)> OnSeriesToggled;

    QSize sizeHint() const override { return {800, 400}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    // The Qt Charts objects that draw one group's lane, kept (hidden) while the group is not
    // shown so that switching groups creates nothing. All of them belong to the scene.
    struct TLaneItems {
        QChart* Chart = nullptr;
        QValueAxis* Time = nullptr;         // the scale only: the time grid is the timeline's
        QValueAxis* Values = nullptr;       // round values, or for the inputs Numbers:
        QCategoryAxis* Numbers = nullptr;   // the inputs' numbers
        QGraphicsRectItem* Mask = nullptr;  // keeps the time grid off the header
        // Per series, one line (or for an input one band) per stretch of polls: a stretch
        // without polls breaks the line.
        std::vector<std::vector<QLineSeries*>> Lines;
        std::vector<std::vector<QAreaSeries*>> Bands;
        std::vector<QLineSeries*> Limits;
        QGraphicsSimpleTextItem* Title = nullptr;
        std::vector<QGraphicsSimpleTextItem*> LimitLabels;
        QRectF Geometry, PlotArea;  // as last given to the chart
        std::vector<int> KeyShown;  // per series, as its key was last drawn (-1: not yet)
    };

    void Layout();
    void Load();
    void Present();
    void PresentLane(const TLane& lane);
    void PresentTimeline();
    TLaneItems& LaneItems(THistoryGroup group);
    QLineSeries* AddLine(TLaneItems& items, bool keyed);
    QAreaSeries* AddBand(TLaneItems& items);
    void StyleLane(TLaneItems& items, THistoryGroup group);
    void StyleTimeline();
    void Place(QChart* chart, QRectF& placed, QRectF& plotPlaced, const QRectF& geometry, const QRectF& plot);
    void UpdateReadout();
    void ScheduleStatistics();
    void Describe();
    void PaintReadout(QPainter& painter);
    double MarkY(const THistoryMark& mark) const;
    const THistoryMark* MarkAt(const QPointF& point) const;
    static QString LaneTitle(const TLane& lane);
    // A click on a key in a lane's header: shows or hides that series; false when it was no key.
    bool ClickKey(const QPointF& point);
    bool OverKey(const QPointF& point) const;
    int64_t BreakGap(const TSeries& series) const;
    QColor SeriesColour(int index) const;
    bool Dark() const;

    std::function<THistoryStore*()> storeSource_;
    std::function<const TAlarmRules*()> limitsSource_;
    std::vector<TLane> lanes_;
    std::vector<bool> hidden_;  // per field, kept across changes of groups
    std::vector<THistoryMark> marks_;
    std::vector<TStatistic> statistics_;
    bool statisticsPending_ = false;
    TTimeTicks timeTicks_;
    QString problem_;
    int64_t fromMs_ = 0, toMs_ = 3'600'000;
    double plotLeft_ = 0, plotRight_ = 1;
    QRectF marksStrip_;
    int markRows_ = 2;
    bool interactive_ = false;

    // Declared before everything it owns: it deletes the charts when the chart goes.
    QGraphicsScene scene_;
    std::array<std::unique_ptr<TLaneItems>, kHistoryGroupCount> laneItems_;
    QChart* timeline_ = nullptr;  // the marks and the labelled time axis
    QCategoryAxis* timelineAxis_ = nullptr;
    QValueAxis* markRowsAxis_ = nullptr;
    QLineSeries* timelineBase_ = nullptr;
    QScatterSeries* failureMarks_ = nullptr;
    QScatterSeries* alarmMarks_ = nullptr;
    QRectF timelinePlaced_, timelinePlotPlaced_;
    qreal marksRatio_ = 0;  // the pixel ratio the marks' pictures were drawn for
    std::optional<int> keyClicked_;

    QPixmap cache_;  // the scene as last drawn
    bool dirty_ = true;

    std::optional<int64_t> cursorAt_;
    std::optional<THistoryPoll> nearest_;
    const THistoryMark* hoveredMark_ = nullptr;
    QStringList readout_;

    enum class TDrag { None, Band, Pan };
    TDrag drag_ = TDrag::None;
    double dragStartX_ = 0, dragLastX_ = 0;
    bool panMoved_ = false;
    int64_t lastWheelMs_ = 0;
};

// Minimum, mean, maximum and last value with the unit ("30.1 °C"; "on 45 %" for an input),
// and all of it in one sentence ("Temp 1: minimum 30.1 °C, mean ...").
QStringList HistoryStatisticTexts(const THistoryChart::TStatistic& statistic);
QString HistoryStatisticText(const THistoryChart::TStatistic& statistic);

}  // namespace quorvane
