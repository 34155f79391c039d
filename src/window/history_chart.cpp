#include "window/history_chart.h"

#include <QAccessible>
#include <QApplication>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTime>
#include <QGraphicsLayout>
#include <QGraphicsRectItem>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QKeyEvent>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScatterSeries>
#include <QTimer>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "history/local_time.h"
#include "platform/gui/accessible_role.h"
#include "platform/gui/gui_text.h"

namespace quorvane {

namespace {

static_assert(static_cast<int>(THistoryGroup::Temperatures) == static_cast<int>(TReadingGroup::Temp) &&
              static_cast<int>(THistoryGroup::FanSpeeds) == static_cast<int>(TReadingGroup::Fan) &&
              static_cast<int>(THistoryGroup::Voltages) == static_cast<int>(TReadingGroup::Volt) &&
              static_cast<int>(THistoryGroup::Inputs) == static_cast<int>(TReadingGroup::Input));
const THistoryGroupInfo kGroups[kHistoryGroupCount] = {
    {&ReadingGroup(TReadingGroup::Temp), "Temperatures", false, false},
    {&ReadingGroup(TReadingGroup::Fan), "Fan speeds", true, false},
    {&ReadingGroup(TReadingGroup::Volt), "Voltages", false, false},
    {&ReadingGroup(TReadingGroup::Input), "Inputs", false, true},
};

constexpr double kMarkSize = 10;  // failed polls and alarm events: big enough to hit
const QColor kFailureColour(220, 0, 0), kAlarmColour(255, 140, 0);
constexpr double kMarkRow = 13;
constexpr double kLaneGap = 8;
constexpr double kPanShare = 0.1;

const TReading& ReadingAt(int field) { return Readings().at(static_cast<size_t>(field)); }

THistoryGroup GroupOfField(int field) { return static_cast<THistoryGroup>(ReadingAt(field).Group->Group); }

// The desktop's time format, with seconds or without ("HH:mm" <-> "HH:mm:ss").
QString TimeFormat(bool seconds) {
    QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    const qsizetype minutes = format.indexOf(QLatin1String("mm"));
    const qsizetype secondsAt = format.indexOf(QLatin1String("ss"));
    if (minutes <= 0) return format;
    if (!seconds && secondsAt > minutes) return format.remove(minutes + 2, secondsAt + 2 - (minutes + 2));
    if (seconds && secondsAt < 0) return format.insert(minutes + 2, format.at(minutes - 1) + QStringLiteral("ss"));
    return format;
}

QString DateText(const QDateTime& time) { return QLocale::system().toString(time.date(), QLocale::ShortFormat); }

QString DurationText(int64_t ms) {
    const int64_t seconds = std::llabs(ms) / 1000;
    if (seconds < 60) return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600) return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    if (seconds < 86'400) return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60);
    return QStringLiteral("%1 d %2 h").arg(seconds / 86'400).arg(seconds / 3600 % 24);
}

// Digits after the point in the shortest text that reads back as the number.
int Decimals(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (error != std::errc()) return 0;
    const std::string_view digits(text, static_cast<size_t>(end - text));
    const size_t point = digits.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(digits.size() - point - 1);
}

QString NumberText(double value, int decimals) {
    return QLocale::system().toString(value == 0 ? 0.0 : value, 'f', std::clamp(decimals, 0, 6));
}

QString TrimmedValue(const std::optional<std::string>& text) {
    return platform::ToQString(text.value_or(std::string())).trimmed();
}

// One line of text in a box, left- or right-aligned and centred vertically. Drawn at its base
// line: the painter then shapes the text but lays out no paragraph, which is most of the cost
// of the many labels of a chart.
void DrawLabel(QPainter& painter, const QRectF& box, Qt::Alignment alignment, const QString& text) {
    const QFontMetricsF metrics(painter.font());
    const double x = alignment & Qt::AlignRight ? box.right() - metrics.horizontalAdvance(text) : box.left();
    const double baseline = box.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    painter.drawText(QPointF(x, baseline), text);
}

// A chart that draws only what it is given: no background, no animation, no margins, its
// legend off until a lane wants one. The scene owns it.
QChart* NewChart(QGraphicsScene& scene) {
    auto* chart = new QChart();
    chart->setMargins(QMargins(0, 0, 0, 0));
    chart->setBackgroundRoundness(0);
    chart->setBackgroundVisible(false);
    chart->setPlotAreaBackgroundVisible(false);
    chart->setDropShadowEnabled(false);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setVisible(false);
    scene.addItem(chart);
    return chart;
}

// An axis whose ticks and labels stand exactly where history_axes puts them.
QCategoryAxis* NewAxis(QChart* chart, Qt::Alignment side) {
    auto* axis = new QCategoryAxis();
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setTruncateLabels(false);
    chart->addAxis(axis, side);
    return axis;
}

using TTicks = std::vector<std::pair<double, QString>>;

void SetTicks(QCategoryAxis* axis, double low, double high, const TTicks& ticks) {
    const QStringList labels = axis->categoriesLabels();
    bool same = axis->min() == low && axis->max() == high && labels.size() == static_cast<qsizetype>(ticks.size());
    for (size_t i = 0; same && i < ticks.size(); ++i) {
        const QString& label = ticks[i].second;
        same = labels[static_cast<qsizetype>(i)] == label && axis->endValue(label) == ticks[i].first;
    }
    if (same) return;  // an axis given the same ticks again would still lay itself out again
    for (const QString& label : labels) axis->remove(label);
    axis->setRange(low, high);
    // A category ends at its tick; the first starts where the axis does, which has its own line.
    axis->setStartValue(low);
    for (const auto& [value, label] : ticks) axis->append(label, value);
    axis->setRange(low, high);
}

// Lines are broken at the widest stretches without polls, as many as a series has lines.
constexpr size_t kMaxRuns = 64;

std::vector<bool> Breaks(const std::vector<THistoryChart::TColumn>& columns, int64_t gap) {
    std::vector<std::pair<int64_t, size_t>> wide;
    for (size_t i = 1; i < columns.size(); ++i) {
        const int64_t distance = columns[i].AtMs - columns[i - 1].AtMs;
        if (distance > gap) wide.emplace_back(distance, i);
    }
    if (wide.size() >= kMaxRuns) {
        std::nth_element(wide.begin(), wide.begin() + (kMaxRuns - 1), wide.end(), std::greater<>());
        wide.resize(kMaxRuns - 1);
    }
    std::vector<bool> breaks(columns.size(), false);
    for (const auto& [distance, at] : wide) breaks[at] = true;
    return breaks;
}

// A reading's lines: per column its lowest and then its highest value, so that a spike of a
// single poll among thousands still shows; a level that holds is one stretch, not a point per
// column.
std::vector<QList<QPointF>> LineRuns(const std::vector<THistoryChart::TColumn>& columns, int64_t gap,
                                     double msPerPixel) {
    const std::vector<bool> breaks = Breaks(columns, gap);
    std::vector<QList<QPointF>> runs;
    auto finish = [&] {
        // A lone poll is a dot of a pixel.
        if (!runs.empty() && runs.back().size() == 1) runs.back().append(runs.back().front() + QPointF(msPerPixel, 0));
    };
    for (size_t i = 0; i < columns.size(); ++i) {
        if (runs.empty() || breaks[i]) {
            finish();
            runs.emplace_back();
            runs.back().reserve(static_cast<qsizetype>(2 * (columns.size() - i)));
        }
        QList<QPointF>& points = runs.back();
        const auto x = static_cast<double>(columns[i].AtMs);
        for (const double y : {columns[i].Min, columns[i].Max}) {
            const qsizetype n = points.size();
            if (n >= 2 && points[n - 1].y() == y && points[n - 2].y() == y)
                points[n - 1].setX(x);
            else if (n == 0 || points[n - 1] != QPointF(x, y))
                points.append(QPointF(x, y));
        }
    }
    finish();
    return runs;
}

// An input's steps in its lane `index` (0 at the bottom), two ways. It holds its state until
// the next poll, a column that saw both states shows both, and only changes cost points. As a
// line, such a column goes from the state before to the other one; as a band, between an upper
// edge that is "on" where a column saw the input on and a lower edge that is "off" where it saw
// it off, columns that saw both states are filled from off to on, so an input that toggles
// within every column is a few points however long.
struct TBand {
    QList<QPointF> Upper, Lower;
};
struct TSteps {
    std::vector<QList<QPointF>> Lines;
    std::vector<TBand> Bands;
};

TSteps Steps(const std::vector<THistoryChart::TColumn>& columns, int64_t gap, double index, int64_t toMs) {
    const double off = index + 0.15, on = index + 0.8;
    const std::vector<bool> breaks = Breaks(columns, gap);
    TSteps steps;
    double state = off, upper = off, lower = off;
    int64_t previousAt = 0;
    auto hold = [&](int64_t untilMs) {
        // Until the next poll, or for a usual step at the end of a stretch.
        if (steps.Lines.empty()) return;
        const auto x = static_cast<double>(untilMs);
        steps.Lines.back() << QPointF(x, state);
        steps.Bands.back().Upper << QPointF(x, upper);
        steps.Bands.back().Lower << QPointF(x, lower);
    };
    auto step = [](QList<QPointF>& points, double x, double& level, double next) {
        if (next == level) return;
        points << QPointF(x, level) << QPointF(x, next);
        level = next;
    };
    for (size_t i = 0; i < columns.size(); ++i) {
        const auto x = static_cast<double>(columns[i].AtMs);
        const double low = columns[i].Min >= 0.5 ? on : off, high = columns[i].Max >= 0.5 ? on : off;
        if (steps.Lines.empty() || breaks[i]) {
            hold(previousAt + gap / 4);
            steps.Lines.push_back({QPointF(x, low)});
            if (high != low) steps.Lines.back() << QPointF(x, high);
            steps.Bands.push_back({{QPointF(x, high)}, {QPointF(x, low)}});
            state = upper = high;
            lower = low;
        } else {
            step(steps.Lines.back(), x, state, low != high ? (state == on ? off : on) : low);
            step(steps.Bands.back().Upper, x, upper, high);
            step(steps.Bands.back().Lower, x, lower, low);
        }
        previousAt = columns[i].AtMs;
    }
    hold(std::min(toMs, previousAt + gap / 4));
    return steps;
}

}  // namespace

QString HistoryMomentText(int64_t ms) {
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms);
    return DateText(time) + QLatin1Char(' ') + QLocale::system().toString(time.time(), TimeFormat(true));
}

QString HistoryTimeFormat() {
    return QLocale::system().dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + TimeFormat(true);
}

const THistoryGroupInfo& HistoryGroupInfo(THistoryGroup group) { return kGroups[static_cast<int>(group)]; }

QString HistorySeriesLabel(int field) { return QString::fromStdString(ReadingAt(field).Label()); }

QString HistoryUnit(int field) { return QString::fromUtf8(ReadingAt(field).Group->Unit); }

THistoryChart::THistoryChart(QWidget* parent) : QWidget(parent), hidden_(kHistoryFieldCount, false) {
    // Announced as a chart; its description carries the range and statistics.
    platform::SetAccessibleRole(*this, QAccessible::Chart);
    setObjectName(QStringLiteral("HistoryChart"));
    setAccessibleName(QStringLiteral("History chart"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    scene_.setItemIndexMethod(QGraphicsScene::NoIndex);
    timeline_ = NewChart(scene_);
    timelineAxis_ = NewAxis(timeline_, Qt::AlignBottom);
    markRowsAxis_ = new QValueAxis();
    timeline_->addAxis(markRowsAxis_, Qt::AlignLeft);
    markRowsAxis_->setVisible(false);
    failureMarks_ = new QScatterSeries();
    failureMarks_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    alarmMarks_ = new QScatterSeries();
    alarmMarks_->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    timelineBase_ = new QLineSeries();  // the line under the marks
    for (QXYSeries* series : std::initializer_list<QXYSeries*>{timelineBase_, failureMarks_, alarmMarks_}) {
        timeline_->addSeries(series);
        series->attachAxis(timelineAxis_);
        series->attachAxis(markRowsAxis_);
    }
    StyleTimeline();
    SetGroups({THistoryGroup::Temperatures});
}

void THistoryChart::SetGroups(const std::vector<THistoryGroup>& groups) {
    lanes_.clear();
    for (THistoryGroup group : groups) {
        TLane lane;
        lane.Group = group;
        for (const TReading& reading : ReadingsOf(HistoryGroupInfo(group).Readings->Group)) {
            TSeries series;
            series.Field = reading.Index;
            series.Visible = !hidden_[static_cast<size_t>(series.Field)];
            lane.Series.push_back(series);
        }
        lanes_.push_back(std::move(lane));
    }
    Layout();
    Load();
}

std::vector<THistoryGroup> THistoryChart::Groups() const {
    std::vector<THistoryGroup> groups;
    for (const TLane& lane : lanes_) groups.push_back(lane.Group);
    return groups;
}

void THistoryChart::SetSpan(int64_t fromMs, int64_t toMs) {
    fromMs_ = fromMs;
    toMs_ = std::max(toMs, fromMs + 1);
    Load();
}

void THistoryChart::Reload() { Load(); }

void THistoryChart::SetInteractive(bool interactive) { interactive_ = interactive; }

void THistoryChart::SetSeriesVisible(int field, bool visible) {
    if (field < 0 || field >= kHistoryFieldCount || hidden_[static_cast<size_t>(field)] == !visible) return;
    hidden_[static_cast<size_t>(field)] = !visible;
    for (TLane& lane : lanes_)
        for (TSeries& series : lane.Series)
            if (series.Field == field) series.Visible = visible;
    Load();
}

bool THistoryChart::SeriesVisible(int field) const {
    return field >= 0 && field < kHistoryFieldCount && !hidden_[static_cast<size_t>(field)];
}

std::vector<int> THistoryChart::VisibleFields() const {
    std::vector<int> fields;
    for (const TLane& lane : lanes_)
        for (const TSeries& series : lane.Series)
            if (series.Visible) fields.push_back(series.Field);
    return fields;
}

int64_t THistoryChart::TimeAt(double x) const {
    const double share = (x - plotLeft_) / std::max(1.0, plotRight_ - plotLeft_);
    return fromMs_ + static_cast<int64_t>(std::llround(share * static_cast<double>(toMs_ - fromMs_)));
}

double THistoryChart::XOf(int64_t ms) const {
    return plotLeft_ +
           static_cast<double>(ms - fromMs_) * (plotRight_ - plotLeft_) / static_cast<double>(toMs_ - fromMs_);
}

bool THistoryChart::Dark() const { return palette().color(QPalette::Base).lightness() < 128; }

QColor THistoryChart::SeriesColour(int index) const {
    // Apart from the marks' red and orange, and readable on light and dark backgrounds alike.
    static const std::array<QColor, 4> light = {QColor(0, 90, 200), QColor(0, 140, 60), QColor(160, 0, 170),
                                                QColor(90, 90, 90)};
    static const std::array<QColor, 4> dark = {QColor(100, 170, 255), QColor(90, 210, 130), QColor(220, 120, 240),
                                               QColor(180, 180, 180)};
    const size_t slot = static_cast<size_t>(index) % light.size();
    return Dark() ? dark[slot] : light[slot];
}

void THistoryChart::Layout() {
    const QFontMetricsF metrics(font());
    const double line = metrics.height();
    plotLeft_ = std::max(metrics.horizontalAdvance(QStringLiteral("-8888.88")),
                         metrics.horizontalAdvance(QStringLiteral("16"))) +
                10;
    plotRight_ = std::max(plotLeft_ + 10, width() - 12.0);
    const double timeAxis = 2 * line + 6;
    // A small chart (the History page) keeps failures and alarms on one row.
    markRows_ = height() < 260 ? 1 : 2;
    marksStrip_ =
        QRectF(plotLeft_, height() - timeAxis - markRows_ * kMarkRow, plotRight_ - plotLeft_, markRows_ * kMarkRow);
    const double header = line + 4;
    double weights = 0;
    for (const TLane& lane : lanes_) weights += HistoryGroupInfo(lane.Group).Steps ? 1.4 : 1.0;
    const double room = marksStrip_.top() - 4 - static_cast<double>(lanes_.size()) * header -
                        static_cast<double>(std::max<size_t>(lanes_.size(), 1) - 1) * kLaneGap;
    double y = 2;
    for (size_t index = 0; index < lanes_.size(); ++index) {
        TLane& lane = lanes_[index];
        const double share = (HistoryGroupInfo(lane.Group).Steps ? 1.4 : 1.0) / std::max(weights, 1.0);
        lane.Header = QRectF(plotLeft_, y, plotRight_ - plotLeft_, header);
        lane.Plot = QRectF(plotLeft_, y + header, plotRight_ - plotLeft_, std::max(10.0, room * share));
        y = lane.Plot.bottom() + kLaneGap;
    }
    dirty_ = true;
}

void THistoryChart::Load() {
    problem_.clear();
    marks_.clear();
    for (TLane& lane : lanes_) {
        lane.Limits.clear();
        for (TSeries& series : lane.Series) series.Columns.clear();
    }
    const std::vector<int> fields = VisibleFields();
    const auto columns = static_cast<int32_t>(std::max(1.0, std::floor(plotRight_ - plotLeft_)));
    THistoryStore* store = storeSource_ ? storeSource_() : nullptr;
    if (store == nullptr) {
        problem_ = QStringLiteral("History is not being kept.");
    } else {
        try {
            std::vector<TSeries*> targets;
            for (TLane& lane : lanes_)
                for (TSeries& series : lane.Series)
                    if (series.Visible) targets.push_back(&series);
            for (const THistoryBucket& bucket : store->Buckets(fields, fromMs_, toMs_, columns)) {
                for (size_t i = 0; i < targets.size(); ++i) {
                    if (bucket.Min[i])
                        targets[i]->Columns.push_back(TColumn{bucket.FirstMs, *bucket.Min[i], *bucket.Max[i]});
                }
            }
            marks_ = store->Marks(fromMs_, toMs_, columns);
        } catch (const EHistoryError& error) {
            problem_ = QStringLiteral("History cannot be read: ") + QString::fromStdString(error.Message());
        }
    }

    const TAlarmRules* rules = limitsSource_ ? limitsSource_() : nullptr;
    const QFontMetricsF metrics(font());
    for (TLane& lane : lanes_) {
        const THistoryGroupInfo& info = HistoryGroupInfo(lane.Group);
        for (size_t i = 0; i < lane.Series.size(); ++i) lane.Series[i].Colour = SeriesColour(static_cast<int>(i));
        if (info.Steps) continue;
        std::optional<double> low, high;
        for (const TSeries& series : lane.Series) {
            for (const TColumn& column : series.Columns) {
                low = std::min(low.value_or(column.Min), column.Min);
                high = std::max(high.value_or(column.Max), column.Max);
            }
            if (!rules || !series.Visible) continue;
            // The analogue readings' rules are numbered by their catalogue index.
            if (series.Field < kAnalogueReadingCount) {
                const TReadingLimits& limits = rules->Readings[static_cast<size_t>(series.Field)];
                if (!limits.Watched()) continue;
                if (limits.Low)
                    lane.Limits.push_back(
                        {series.Field, limits.Low->Value, false, QString::fromStdString(limits.Low->Text)});
                if (limits.High)
                    lane.Limits.push_back(
                        {series.Field, limits.High->Value, true, QString::fromStdString(limits.High->Text)});
            }
        }
        // A limit near the data widens the axis to show it; one far off would squeeze the data
        // flat and is named at the lane's edge instead.
        if (low && high) {
            const double reach = std::max({*high - *low, std::abs(*high) / 20, 1e-9});
            for (const TLimit& limit : lane.Limits) {
                if (limit.Value < *low - reach || limit.Value > *high + reach) continue;
                low = std::min(*low, limit.Value);
                high = std::max(*high, limit.Value);
            }
        }
        lane.Axis = ValueTicks(low, high, lane.Plot.height(), std::max(1.8 * metrics.height(), 24.0), info.NonNegative);
    }
    timeTicks_ = TimeTicks(fromMs_, toMs_, plotRight_ - plotLeft_, [&](TTimeUnit unit) {
        const QDateTime sample(QDate(2000, 12, 28), QTime(23, 59, 59));
        QString text;
        switch (unit) {
            case TTimeUnit::Second:
                text = QLocale::system().toString(sample.time(), TimeFormat(true));
                break;
            case TTimeUnit::Minute:
            case TTimeUnit::Hour:
                text = QLocale::system().toString(sample.time(), TimeFormat(false));
                break;
            case TTimeUnit::Day:
                text = DateText(sample);
                break;
            case TTimeUnit::Month:
                text = QLocale::system().toString(sample.date(), QStringLiteral("MMM yyyy"));
                break;
            case TTimeUnit::Year:
                text = QStringLiteral("2000");
                break;
        }
        return metrics.horizontalAdvance(text) + 16;
    });
    Present();
    hoveredMark_ = nullptr;
    UpdateReadout();
    ScheduleStatistics();
    update();
}

void THistoryChart::ScheduleStatistics() {
    statisticsPending_ = true;
    // After the chart is on screen: the legend may lag a paint behind, the chart never waits.
    QTimer::singleShot(0, this, [this] {
        if (statisticsPending_) Statistics();
    });
}

const std::vector<THistoryChart::TStatistic>& THistoryChart::Statistics() {
    if (!statisticsPending_) return statistics_;
    statisticsPending_ = false;
    statistics_.clear();
    const std::vector<int> fields = VisibleFields();
    THistoryStore* store = storeSource_ ? storeSource_() : nullptr;
    if (store != nullptr) {
        try {
            const std::vector<THistoryStatistics> values = store->Statistics(fields, fromMs_, toMs_);
            for (size_t i = 0; i < fields.size(); ++i) statistics_.push_back(TStatistic{fields[i], values[i]});
        } catch (const EHistoryError& error) {
            problem_ = QStringLiteral("History cannot be read: ") + QString::fromStdString(error.Message());
        }
    }
    Describe();
    if (OnStatistics) OnStatistics();
    return statistics_;
}

void THistoryChart::Describe() {
    QStringList groups;
    for (const TLane& lane : lanes_) groups << QString::fromUtf8(HistoryGroupInfo(lane.Group).Title);
    QString text = groups.join(QStringLiteral(", ")) + QStringLiteral(" from ") + HistoryMomentText(fromMs_) +
                   QStringLiteral(" to ") + HistoryMomentText(toMs_ - 1) + QStringLiteral(".");
    if (!problem_.isEmpty()) text += QLatin1Char(' ') + problem_;
    for (const TStatistic& statistic : statistics_)
        text += QLatin1Char(' ') + HistoryStatisticText(statistic) + QLatin1Char('.');
    setAccessibleDescription(text);
}

QStringList HistoryStatisticTexts(const THistoryChart::TStatistic& statistic) {
    const THistoryStatistics& value = statistic.Value;
    if (value.Count == 0) return {QString(), QString(), QString(), QString()};
    if (GroupOfField(statistic.Field) == THistoryGroup::Inputs) {
        auto state = [](double number) { return number >= 0.5 ? QStringLiteral("on") : QStringLiteral("off"); };
        return {state(*value.Min), QStringLiteral("on %1 %").arg(NumberText(*value.Mean * 100, 0)), state(*value.Max),
                state(value.Last.value_or(0))};
    }
    const QString unit = HistoryUnit(statistic.Field);
    const QString suffix = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
    const int decimals = std::max({Decimals(*value.Min), Decimals(*value.Max), Decimals(value.Last.value_or(0))});
    return {NumberText(*value.Min, decimals) + suffix, NumberText(*value.Mean, std::min(decimals + 1, 3)) + suffix,
            NumberText(*value.Max, decimals) + suffix,
            value.Last ? NumberText(*value.Last, decimals) + suffix : QString()};
}

QString HistoryStatisticText(const THistoryChart::TStatistic& statistic) {
    const QString label = HistorySeriesLabel(statistic.Field);
    if (statistic.Value.Count == 0) return label + QStringLiteral(": no values");
    const QStringList texts = HistoryStatisticTexts(statistic);
    return label +
           QStringLiteral(": minimum %1, mean %2, maximum %3, last %4").arg(texts[0], texts[1], texts[2], texts[3]);
}

void THistoryChart::SetCursorAt(std::optional<int64_t> atMs) {
    if (atMs) atMs = std::clamp(*atMs, fromMs_, toMs_ - 1);
    if (atMs == cursorAt_) return;
    cursorAt_ = atMs;
    UpdateReadout();
    update();
}

void THistoryChart::UpdateReadout() {
    readout_.clear();
    nearest_.reset();
    if (cursorAt_) {
        readout_ << HistoryMomentText(*cursorAt_);
        if (hoveredMark_ != nullptr) {
            QString mark = (hoveredMark_->Failure ? QStringLiteral("No answer at ") : QStringLiteral("Alarm at ")) +
                           HistoryMomentText(hoveredMark_->AtMs) + QStringLiteral(": ") +
                           QString::fromStdString(hoveredMark_->Title);
            if (hoveredMark_->Count > 1) mark += QStringLiteral(" (and %1 more here)").arg(hoveredMark_->Count - 1);
            readout_ << mark;
        }
        THistoryStore* store = storeSource_ ? storeSource_() : nullptr;
        try {
            if (store != nullptr) nearest_ = store->Nearest(*cursorAt_, fromMs_, toMs_);
        } catch (const EHistoryError&) {
            nearest_.reset();
        }
        if (!nearest_) {
            readout_ << QStringLiteral("No poll in the range shown.");
        } else {
            const int64_t away = nearest_->StartedAtMs - *cursorAt_;
            readout_ << QStringLiteral("Nearest poll %1 (%2)")
                            .arg(HistoryMomentText(nearest_->StartedAtMs),
                                 away == 0 ? QStringLiteral("here")
                                           : DurationText(away) +
                                                 (away < 0 ? QStringLiteral(" earlier") : QStringLiteral(" later")));
            if (nearest_->FailureReason) {
                readout_ << QStringLiteral("It failed: ") + QString::fromStdString(*nearest_->FailureReason);
            } else {
                for (const TLane& lane : lanes_) {
                    if (HistoryGroupInfo(lane.Group).Steps) {
                        QStringList on;
                        for (const TSeries& series : lane.Series) {
                            if (series.Visible && nearest_->Numbers[static_cast<size_t>(series.Field)] == 1.0)
                                on << QString::number(series.Field - kHistoryInputField + 1);
                        }
                        readout_ << QStringLiteral("Inputs on: ") +
                                        (on.isEmpty() ? QStringLiteral("none") : on.join(QStringLiteral(", ")));
                        continue;
                    }
                    for (const TSeries& series : lane.Series) {
                        if (!series.Visible) continue;
                        const size_t field = static_cast<size_t>(series.Field);
                        const QString text = TrimmedValue(nearest_->Values[field]);
                        QString value = text.isEmpty() ? QStringLiteral("no value")
                                                       : text + QLatin1Char(' ') + HistoryUnit(series.Field);
                        if (!text.isEmpty() && !nearest_->Numbers[field])
                            value = text + QStringLiteral(" (not a number)");
                        readout_ << HistorySeriesLabel(series.Field) + QStringLiteral(": ") + value;
                    }
                }
            }
        }
    }
    if (OnReadout) OnReadout();
}

double THistoryChart::MarkY(const THistoryMark& mark) const {
    return marksStrip_.top() + (mark.Failure && markRows_ == 2 ? 1.5 : 0.5) * kMarkRow;
}

const THistoryMark* THistoryChart::MarkAt(const QPointF& point) const {
    const THistoryMark* found = nullptr;
    double best = kMarkSize;
    for (const THistoryMark& mark : marks_) {
        const double y = MarkY(mark);
        const double dx = std::abs(XOf(mark.AtMs) - point.x()), dy = std::abs(y - point.y());
        if (dx <= kMarkSize * 0.7 && dy <= kMarkSize * 0.7 && dx < best) {
            best = dx;
            found = &mark;
        }
    }
    return found;
}

QString THistoryChart::LaneTitle(const TLane& lane) {
    const THistoryGroupInfo& info = HistoryGroupInfo(lane.Group);
    const QString unit = QString::fromUtf8(info.Readings->Unit);
    return QString::fromUtf8(info.Title) +
           (unit.isEmpty() ? QString() : QStringLiteral(" (") + unit + QLatin1Char(')'));
}

bool THistoryChart::OverKey(const QPointF& point) const {
    for (const TLane& lane : lanes_) {
        const std::unique_ptr<TLaneItems>& items = laneItems_[static_cast<size_t>(lane.Group)];
        if (lane.Header.contains(point) && items && items->Chart->legend()->isVisible() &&
            items->Chart->legend()->sceneBoundingRect().contains(point))
            return true;
    }
    return false;
}

bool THistoryChart::ClickKey(const QPointF& point) {
    if (!OverKey(point)) return false;
    // The click goes to the legend in the scene, whose key under it says which series it is.
    keyClicked_.reset();
    for (const QEvent::Type type : {QEvent::GraphicsSceneMousePress, QEvent::GraphicsSceneMouseRelease}) {
        QGraphicsSceneMouseEvent click(type);
        click.setScenePos(point);
        click.setScreenPos(mapToGlobal(point.toPoint()));
        click.setButtonDownScenePos(Qt::LeftButton, point);
        click.setButtonDownScreenPos(Qt::LeftButton, click.screenPos());
        click.setButton(Qt::LeftButton);
        click.setButtons(type == QEvent::GraphicsSceneMousePress ? Qt::LeftButton : Qt::NoButton);
        QApplication::sendEvent(&scene_, &click);
    }
    const std::optional<int> field = std::exchange(keyClicked_, std::nullopt);
    if (!field) return false;
    SetSeriesVisible(*field, !SeriesVisible(*field));
    if (OnSeriesToggled) OnSeriesToggled(*field, SeriesVisible(*field));
    return true;
}

int64_t THistoryChart::BreakGap(const TSeries& series) const {
    // A stretch without polls (the monitor was not running) is a gap, not a line: a distance
    // between columns well beyond the usual one breaks it.
    std::vector<int64_t> steps;
    for (size_t i = 1; i < series.Columns.size(); ++i)
        steps.push_back(series.Columns[i].AtMs - series.Columns[i - 1].AtMs);
    int64_t usual = 0;
    if (!steps.empty()) {
        std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2), steps.end());
        usual = steps[steps.size() / 2];
    }
    const double msPerPixel = static_cast<double>(toMs_ - fromMs_) / std::max(1.0, plotRight_ - plotLeft_);
    return std::max(4 * usual, static_cast<int64_t>(3 * msPerPixel));
}

void THistoryChart::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (ratio != marksRatio_) {
        StyleTimeline();  // on a screen of another pixel ratio: marks as sharp as there
        dirty_ = true;
    }
    if (dirty_ || cache_.size() != size() * ratio) {
        if (cache_.size() != size() * ratio) {
            cache_ = QPixmap(size() * ratio);
            cache_.setDevicePixelRatio(ratio);
        }
        cache_.fill(palette().color(QPalette::Base));
        // The charts lay out their axes when asked to; a step is drawn at once, not a turn of
        // the event loop later.
        for (const std::unique_ptr<TLaneItems>& items : laneItems_)
            if (items && items->Chart->isVisible()) items->Chart->layout()->activate();
        timeline_->layout()->activate();
        QPainter chart(&cache_);
        scene_.render(&chart, QRectF(rect()), QRectF(rect()));
        if (!problem_.isEmpty()) {
            chart.setPen(palette().color(QPalette::Text));
            chart.drawText(QRectF(rect()).adjusted(plotLeft_, 0, 0, -marksStrip_.height()), Qt::AlignCenter,
                           problem_);
        }
        dirty_ = false;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, cache_);
    const double top = lanes_.empty() ? 0 : lanes_.front().Plot.top();
    const double bottom = marksStrip_.bottom();
    if (drag_ == TDrag::Band) {
        QColor band = palette().color(QPalette::Highlight);
        band.setAlpha(60);
        painter.fillRect(
            QRectF(QPointF(std::min(dragStartX_, dragLastX_), top), QPointF(std::max(dragStartX_, dragLastX_), bottom)),
            band);
    }
    if (cursorAt_) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
        const double x = std::round(XOf(*cursorAt_)) + 0.5;
        painter.drawLine(QPointF(x, top), QPointF(x, bottom));
        if (interactive_) PaintReadout(painter);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}

THistoryChart::TLaneItems& THistoryChart::LaneItems(THistoryGroup group) {
    std::unique_ptr<TLaneItems>& slot = laneItems_[static_cast<size_t>(group)];
    if (slot) return *slot;
    slot = std::make_unique<TLaneItems>();
    TLaneItems& items = *slot;
    const THistoryGroupInfo& info = HistoryGroupInfo(group);
    items.Chart = NewChart(scene_);
    // The time grid is the axis's below, drawn behind the lanes; a lane's own time axis only
    // scales it.
    items.Time = new QValueAxis();
    items.Chart->addAxis(items.Time, Qt::AlignBottom);
    items.Time->setVisible(false);
    if (info.Steps) {
        items.Numbers = NewAxis(items.Chart, Qt::AlignLeft);
        items.Values = items.Numbers;
    } else {
        // Round values at steps from the low end, exactly as history_axes chose them.
        items.Values = new QValueAxis();
        items.Values->setTickType(QValueAxis::TicksDynamic);
        items.Chart->addAxis(items.Values, Qt::AlignLeft);
        items.Chart->setLocalizeNumbers(true);
    }
    // Hides the time grid over the header and the gap above it.
    items.Mask = new QGraphicsRectItem(items.Chart);
    items.Mask->setPen(Qt::NoPen);
    items.Mask->setZValue(-100);
    items.Title = new QGraphicsSimpleTextItem(items.Chart);
    QLegend* legend = items.Chart->legend();
    for (const TReading& reading : ReadingsOf(info.Readings->Group)) {
        if (info.Steps) {
            // Lines and bands are made as they are needed.
            items.Lines.emplace_back();
            items.Bands.emplace_back();
            continue;
        }
        QLineSeries* line = AddLine(items, true);
        line->setName(HistorySeriesLabel(reading.Index));
        items.Lines.push_back({line});
        // A click on a key shows or hides its series (the clicks reach the scene from ClickKey).
        for (QLegendMarker* marker : legend->markers(line))
            connect(marker, &QLegendMarker::clicked, this, [this, field = reading.Index] { keyClicked_ = field; });
    }
    if (!info.Steps) {
        // Each series has a high and a low limit at most.
        for (size_t i = 0; i < 2 * items.Lines.size(); ++i) {
            items.Limits.push_back(AddLine(items, false));
            items.LimitLabels.push_back(new QGraphicsSimpleTextItem(items.Chart));
        }
    }
    // Sixteen keys would not fit: the input lanes are numbered instead.
    legend->setVisible(!info.Steps);
    legend->detachFromChart();
    legend->setBackgroundVisible(false);
    legend->setContentsMargins(0, 0, 0, 0);
    legend->setAlignment(Qt::AlignTop);
    StyleLane(items, group);
    return items;
}

QAreaSeries* THistoryChart::AddBand(TLaneItems& items) {
    auto* band = new QAreaSeries();  // the chart's from here on, and the edges the band's
    band->setUpperSeries(new QLineSeries(band));
    band->setLowerSeries(new QLineSeries(band));
    items.Chart->addSeries(band);
    band->attachAxis(items.Time);
    band->attachAxis(items.Values);
    return band;
}

QLineSeries* THistoryChart::AddLine(TLaneItems& items, bool keyed) {
    auto* line = new QLineSeries();  // the chart's from here on
    items.Chart->addSeries(line);
    line->attachAxis(items.Time);
    line->attachAxis(items.Values);
    if (!keyed)
        for (QLegendMarker* marker : items.Chart->legend()->markers(line)) marker->setVisible(false);
    return line;
}

void THistoryChart::StyleLane(TLaneItems& items, THistoryGroup group) {
    const QColor text = palette().color(QPalette::Text);
    QColor axisColour = text, grid = text;
    axisColour.setAlpha(110);
    grid.setAlpha(35);
    items.Values->setLabelsFont(font());
    items.Values->setLabelsColor(text);
    items.Values->setLinePen(QPen(axisColour, 1));
    items.Values->setGridLinePen(QPen(grid, 1));
    items.Values->setShadesVisible(false);
    // The input lanes are told apart by their colours and numbers, without a grid.
    items.Values->setGridLineVisible(!HistoryGroupInfo(group).Steps);
    items.Mask->setBrush(palette().color(QPalette::Base));
    QFont bold = font();
    bold.setBold(true);
    items.Title->setFont(bold);
    items.Title->setBrush(text);
    for (QGraphicsSimpleTextItem* label : items.LimitLabels) {
        label->setFont(font());
        label->setBrush(text);
    }
    QLegend* legend = items.Chart->legend();
    legend->setFont(font());
    legend->setLabelColor(text);
    items.KeyShown.clear();
    for (size_t i = 0; i < items.Lines.size(); ++i) {
        const QColor colour = SeriesColour(static_cast<int>(i));
        for (QLineSeries* line : items.Lines[i]) line->setPen(QPen(colour, 1));
    }
    for (size_t i = 0; i < items.Bands.size(); ++i) {
        const QColor colour = SeriesColour(static_cast<int>(i));
        for (QAreaSeries* band : items.Bands[i]) {
            band->setPen(QPen(colour, 1));
            band->setBrush(colour);
        }
    }
}

void THistoryChart::StyleTimeline() {
    const QColor text = palette().color(QPalette::Text);
    QColor axisColour = text;
    axisColour.setAlpha(110);
    timelineAxis_->setLabelsFont(font());
    timelineAxis_->setLabelsColor(text);
    timelineAxis_->setLineVisible(false);
    timelineBase_->setPen(QPen(axisColour, 1));
    QColor grid = text;
    grid.setAlpha(35);
    timelineAxis_->setGridLinePen(QPen(grid, 1));
    timelineAxis_->setGridLineVisible(true);
    // Marks are drawn as pictures: a scatter series fills its markers as one shape, in which
    // marks that overlap (thousands of failed polls over years) would cancel each other out.
    const qreal ratio = devicePixelRatioF();
    marksRatio_ = ratio;
    for (QScatterSeries* marks : {failureMarks_, alarmMarks_}) {
        const double size = kMarkSize + 2;
        QImage picture(QSize(static_cast<int>(std::ceil(size * ratio)), static_cast<int>(std::ceil(size * ratio))),
                       QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter draw(&picture);
        draw.setRenderHint(QPainter::Antialiasing, true);
        draw.setPen(QPen(palette().color(QPalette::Base), 1));
        draw.setBrush(marks == failureMarks_ ? kFailureColour : kAlarmColour);
        const QRectF box(1, 1, kMarkSize, kMarkSize);
        if (marks == failureMarks_)
            draw.drawEllipse(box);
        else
            draw.drawRect(box);
        draw.end();
        marks->setMarkerSize(size);
        marks->setLightMarker(picture);
        // The pictures are what is seen; the item a scatter series still keeps per mark draws
        // nothing, and is measured much faster without an outline.
        marks->setPen(Qt::NoPen);
        marks->setBrush(Qt::NoBrush);
    }
}

void THistoryChart::Place(QChart* chart, QRectF& placed, QRectF& plotPlaced, const QRectF& geometry,
                          const QRectF& plot) {
    // Set only when it changed: a chart given its place again lays itself out again.
    if (placed != geometry) {
        chart->setGeometry(geometry);
        placed = geometry;
    }
    const QRectF local = plot.translated(-geometry.topLeft());
    if (plotPlaced != local) {
        chart->setPlotArea(local);
        plotPlaced = local;
    }
}

void THistoryChart::Present() {
    std::array<bool, kHistoryGroupCount> shown{};
    for (size_t index = 0; index < lanes_.size(); ++index) {
        PresentLane(lanes_[index]);
        shown[static_cast<size_t>(lanes_[index].Group)] = true;
        // A lane over the one below: its lowest value label reaches into that lane's mask.
        laneItems_[static_cast<size_t>(lanes_[index].Group)]->Chart->setZValue(
            static_cast<double>(lanes_.size() - index));
    }
    for (size_t group = 0; group < laneItems_.size(); ++group)
        if (laneItems_[group]) laneItems_[group]->Chart->setVisible(shown[group]);
    PresentTimeline();
    dirty_ = true;
}

void THistoryChart::PresentLane(const TLane& lane) {
    TLaneItems& items = LaneItems(lane.Group);
    const THistoryGroupInfo& info = HistoryGroupInfo(lane.Group);
    const QRectF& plot = lane.Plot;
    // Down to half a line below the plot: an axis leaves out a label that does not fit its chart.
    const QFontMetricsF metrics(font());
    Place(items.Chart, items.Geometry, items.PlotArea,
          QRectF(0, lane.Header.top(), width(), plot.bottom() + metrics.height() / 2 + 2 - lane.Header.top()), plot);
    items.Mask->setRect(QRectF(0, -kLaneGap, width(), plot.top() - lane.Header.top() + kLaneGap));

    // Emptied first: a series redraws itself whenever its axes change, and only the new points
    // are worth drawing.
    for (const std::vector<QLineSeries*>& lines : items.Lines)
        for (QLineSeries* line : lines)
            if (line->count() > 0) line->clear();
    for (QLineSeries* limit : items.Limits)
        if (limit->count() > 0) limit->clear();
    for (const std::vector<QAreaSeries*>& bands : items.Bands)
        for (QAreaSeries* band : bands)
            if (band->upperSeries()->count() > 0) {
                band->upperSeries()->clear();
                band->lowerSeries()->clear();
            }

    const auto from = static_cast<double>(fromMs_), to = static_cast<double>(toMs_);
    items.Time->setRange(from, to);
    double low = 0, high = static_cast<double>(lane.Series.size());
    if (info.Steps) {
        // Sixteen on/off lanes, input 1 at the bottom, numbered as often as they have room.
        // The axis leaves out a label that touches the one before, margins included.
        const double laneHeight = plot.height() / high, needed = metrics.height() + 6;
        const size_t every = laneHeight >= needed ? 1 : laneHeight * 2 >= needed ? 2 : 4;
        TTicks numbers;
        for (size_t i = 0; i < lane.Series.size(); i += every)
            numbers.emplace_back(static_cast<double>(i) + 0.5, QString::number(i + 1));
        SetTicks(items.Numbers, low, high, numbers);
    } else {
        low = lane.Axis.Low;
        high = lane.Axis.High;
        // Each of these lays the axis out again, so only what changed is set.
        const QString format = QStringLiteral("%.%1f").arg(lane.Axis.Decimals);
        if (items.Values->labelFormat() != format) items.Values->setLabelFormat(format);
        if (items.Values->tickInterval() != lane.Axis.Step) items.Values->setTickInterval(lane.Axis.Step);
        if (items.Values->tickAnchor() != low) items.Values->setTickAnchor(low);
        items.Values->setRange(low, high);
    }

    const double msPerPixel = (to - from) / std::max(1.0, plot.width());
    for (size_t index = 0; index < lane.Series.size(); ++index) {
        const TSeries& series = lane.Series[index];
        const bool drawn = series.Visible && !series.Columns.empty();
        std::vector<QList<QPointF>> runs;
        if (info.Steps) {
            // A line or a band, whichever costs fewer points (a band's count more: it is filled).
            std::vector<TBand> bands;
            if (drawn) {
                TSteps steps = Steps(series.Columns, BreakGap(series), static_cast<double>(index), toMs_);
                qsizetype linePoints = 0, bandPoints = 0;
                for (const QList<QPointF>& run : steps.Lines) linePoints += run.size();
                for (const TBand& band : steps.Bands) bandPoints += band.Upper.size() + band.Lower.size();
                if (2 * bandPoints < linePoints)
                    bands = std::move(steps.Bands);
                else
                    runs = std::move(steps.Lines);
            }
            std::vector<QAreaSeries*>& pool = items.Bands[index];
            while (pool.size() < bands.size()) {
                QAreaSeries* band = AddBand(items);
                band->setPen(QPen(series.Colour, 1));
                band->setBrush(series.Colour);
                pool.push_back(band);
            }
            for (size_t run = 0; run < bands.size(); ++run) {
                pool[run]->upperSeries()->replace(bands[run].Upper);
                pool[run]->lowerSeries()->replace(bands[run].Lower);
            }
        } else if (drawn) {
            runs = LineRuns(series.Columns, BreakGap(series), msPerPixel);
        }
        std::vector<QLineSeries*>& lines = items.Lines[index];
        while (lines.size() < runs.size()) {
            QLineSeries* line = AddLine(items, false);
            line->setPen(QPen(series.Colour, 1));
            lines.push_back(line);
        }
        for (size_t run = 0; run < runs.size(); ++run) lines[run]->replace(runs[run]);
        if (info.Steps) continue;
        // The key of a hidden series stays, struck out, to be clicked again. Keys are restyled
        // only when that changes: each change lays the legend out again.
        if (items.KeyShown.size() != lane.Series.size()) items.KeyShown.assign(lane.Series.size(), -1);
        if (std::exchange(items.KeyShown[index], series.Visible ? 1 : 0) == (series.Visible ? 1 : 0)) continue;
        for (QLegendMarker* marker : items.Chart->legend()->markers(lines.front())) {
            QFont keyFont = font();
            keyFont.setStrikeOut(!series.Visible);
            marker->setFont(keyFont);
            marker->setBrush(series.Visible ? series.Colour : QColor(Qt::transparent));
            marker->setPen(QPen(series.Colour, 1));
            QColor label = palette().color(QPalette::Text);
            if (!series.Visible) label.setAlpha(110);
            marker->setLabelBrush(label);
        }
    }

    // The header: the group with its unit, then the keys.
    items.Title->setText(LaneTitle(lane));
    items.Title->setPos(lane.Header.left(), (lane.Header.height() - 2 - metrics.height()) / 2);
    const double keysLeft = lane.Header.left() + items.Title->boundingRect().width() + 16;
    // The keys at the legend's own height, centred on the header's line.
    QLegend* legend = items.Chart->legend();
    const double keysHeight = legend->effectiveSizeHint(Qt::PreferredSize).height();
    legend->setGeometry(QRectF(keysLeft, (lane.Header.height() - 2 - keysHeight) / 2,
                               std::max(10.0, lane.Header.right() - keysLeft), keysHeight));

    // Limits: a dashed line where it is on the axis, else its name at the lane's edge.
    double above = 1, below = plot.height() - metrics.height() - 1;
    const QPointF plotLocal = plot.topLeft() - QPointF(0, lane.Header.top());
    auto y = [&](double value) { return plot.height() - (value - low) / (high - low) * plot.height(); };
    for (size_t i = 0; i < items.LimitLabels.size(); ++i) {
        QGraphicsSimpleTextItem* label = items.LimitLabels[i];
        if (i >= lane.Limits.size()) {
            label->setVisible(false);
            continue;
        }
        const TLimit& limit = lane.Limits[i];
        QColor colour = palette().color(QPalette::Text);
        for (const TSeries& series : lane.Series)
            if (series.Field == limit.Field) colour = series.Colour;
        QString text = HistorySeriesLabel(limit.Field) +
                       (limit.High ? QStringLiteral(" high ") : QStringLiteral(" low ")) + limit.Text;
        double top = 0;
        if (limit.Value < low || limit.Value > high) {
            const bool over = limit.Value > high;
            text = (over ? QStringLiteral("\u25B2 ") : QStringLiteral("\u25BC ")) + text;
            double& at = over ? above : below;
            top = at;
            at += over ? metrics.height() : -metrics.height();
        } else {
            QPen dashed(colour, 1, Qt::DashLine);
            items.Limits[i]->setPen(dashed);
            items.Limits[i]->replace({QPointF(from, limit.Value), QPointF(to, limit.Value)});
            const double at = std::round(y(limit.Value)) + 0.5;
            top = limit.High ? at - metrics.height() - 1 : at + 1;
        }
        label->setText(text);  // plain text, as everything here that comes from the settings
        label->setBrush(colour);
        label->setPos(plotLocal + QPointF(plot.width() - 4 - label->boundingRect().width(), top));
        label->setVisible(true);
    }
}

void THistoryChart::PresentTimeline() {
    // The lanes' scale, stretched to just beyond both edges of the chart: the axis draws lines
    // of its own at its ends, which fall outside, and marks at either end are drawn whole.
    const double msPerPixel = static_cast<double>(toMs_ - fromMs_) / std::max(1.0, plotRight_ - plotLeft_);
    const double top = lanes_.empty() ? marksStrip_.top() : lanes_.front().Plot.top();
    // From the top of the lanes (its grid is the lanes' time grid) to a pixel below the strip.
    const double bottom = marksStrip_.bottom() + 1;
    Place(timeline_, timelinePlaced_, timelinePlotPlaced_, QRectF(0, top, width(), height() - top),
          QRectF(QPointF(-2, top), QPointF(width() + 2, bottom)));
    const double from = static_cast<double>(fromMs_) - (plotLeft_ + 2) * msPerPixel;
    const double to = static_cast<double>(toMs_) + (width() + 2 - plotRight_) * msPerPixel;
    const QLocale locale = QLocale::system();
    std::vector<QStringList> labels;
    for (const TTimeTick& tick : timeTicks_.Ticks) {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(tick.AtMs);
        QStringList& lines = labels.emplace_back();
        switch (timeTicks_.Unit) {
            case TTimeUnit::Second:
            case TTimeUnit::Minute:
            case TTimeUnit::Hour:
                lines << locale.toString(time.time(), TimeFormat(timeTicks_.Unit == TTimeUnit::Second));
                if (tick.NewDay) lines << DateText(time);
                break;
            case TTimeUnit::Day:
                lines << DateText(time);
                break;
            case TTimeUnit::Month:
                lines << locale.toString(time.date(), QStringLiteral("MMM yyyy"));
                break;
            case TTimeUnit::Year:
                lines << QString::number(time.date().year());
                break;
        }
    }
    const QFontMetricsF metrics(font());
    std::vector<double> half;  // half the width of each label
    for (const QStringList& lines : labels) {
        double widest = 0;
        for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
        half.push_back(widest / 2);
    }
    // A label is centred on its tick. One that would reach past either end of the chart gets
    // no-break spaces on that side, which move its text inside, as far as its neighbours leave
    // room: the axis leaves out a label that touches the one before.
    constexpr double kApart = 10;
    const double space = metrics.horizontalAdvance(QChar(0xA0));
    TTicks ticks;
    QStringList seen;
    for (size_t i = 0; i < labels.size(); ++i) {
        const double x = XOf(timeTicks_.Ticks[i].AtMs);
        double room = std::numeric_limits<double>::max();
        if (i > 0) room = std::min(room, x - half[i] - (XOf(timeTicks_.Ticks[i - 1].AtMs) + half[i - 1]) - kApart);
        if (i + 1 < labels.size())
            room = std::min(room, XOf(timeTicks_.Ticks[i + 1].AtMs) - half[i + 1] - (x + half[i]) - kApart);
        room = std::max(room, 0.0);
        const double left = std::min(std::max(x + half[i] + 2 - width(), 0.0), room);
        const double right = std::min(std::max(2 - (x - half[i]), 0.0), room);
        const QString after(static_cast<qsizetype>(std::ceil(2 * left / space)), QChar(0xA0));
        const QString before(static_cast<qsizetype>(std::ceil(2 * right / space)), QChar(0xA0));
        // The axis takes its labels for markup: ours are escaped, and centred line by line.
        QStringList lines;
        for (const QString& line : labels[i]) lines << before + line.toHtmlEscaped() + after;
        QString label = QStringLiteral("<div align=\"center\">") + lines.join(QStringLiteral("<br>"));
        // An axis keeps one category per name: the same time on another day gets an invisible
        // difference.
        while (seen.contains(label)) label += QChar(0x200B);
        seen << label;
        ticks.emplace_back(static_cast<double>(timeTicks_.Ticks[i].AtMs), label);
    }
    SetTicks(timelineAxis_, from, to, ticks);
    // Counted in rows of marks up from the bottom of the strip.
    const double pixel = 1 / kMarkRow;
    markRowsAxis_->setRange(0, (bottom - top) / kMarkRow);
    timelineBase_->replace(
        {QPointF(static_cast<double>(fromMs_), pixel / 2), QPointF(static_cast<double>(toMs_), pixel / 2)});
    QList<QPointF> failures, alarms;
    for (const THistoryMark& mark : marks_) {
        // The lower row for failures, the upper for alarms; one row for both on a small chart.
        const double row = (mark.Failure || markRows_ == 1 ? 0.5 : 1.5) + pixel;
        (mark.Failure ? failures : alarms).append(QPointF(static_cast<double>(mark.AtMs), row));
    }
    failureMarks_->replace(failures);
    alarmMarks_->replace(alarms);
}


void THistoryChart::PaintReadout(QPainter& painter) {
    if (readout_.isEmpty()) return;
    const QFontMetricsF metrics(painter.font());
    double width = 0;
    for (const QString& line : readout_) width = std::max(width, metrics.horizontalAdvance(line));
    const QSizeF size(width + 12, metrics.height() * static_cast<double>(readout_.size()) + 8);
    const double x = XOf(*cursorAt_);
    double left = x + 12;
    if (left + size.width() > rect().right()) left = std::max(0.0, x - 12 - size.width());
    const double top = lanes_.empty() ? 4 : lanes_.front().Plot.top() + 4;
    const QRectF box(QPointF(left, top), size);
    QColor background = palette().color(QPalette::ToolTipBase);
    background.setAlpha(235);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.setBrush(background);
    painter.drawRect(box);
    painter.setPen(palette().color(QPalette::ToolTipText));
    double y = box.top() + 4;
    // Drawn as plain text: nothing the unit sent is read as markup.
    for (const QString& line : readout_) {
        DrawLabel(painter, QRectF(box.left() + 6, y, width + 2, metrics.height()), Qt::AlignLeft, line);
        y += metrics.height();
    }
}

void THistoryChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout();
    Load();
}

void THistoryChart::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::StyleChange) {
        for (size_t group = 0; group < laneItems_.size(); ++group)
            if (laneItems_[group]) StyleLane(*laneItems_[group], static_cast<THistoryGroup>(group));
        StyleTimeline();
        Layout();
        Load();
    }
}

void THistoryChart::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ShiftModifier) && ClickKey(at)) return;
    if (!interactive_) return QWidget::mousePressEvent(event);
    const double x = std::clamp(at.x(), plotLeft_, plotRight_);
    if (event->button() == Qt::MiddleButton ||
        (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier))) {
        drag_ = TDrag::Pan;
        panMoved_ = false;
        dragLastX_ = at.x();
    } else if (event->button() == Qt::LeftButton) {
        drag_ = TDrag::Band;
        dragStartX_ = dragLastX_ = x;
    }
}

void THistoryChart::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    const double top = lanes_.empty() ? 0 : lanes_.front().Plot.top();
    if (at.x() >= plotLeft_ && at.x() <= plotRight_ && at.y() >= top && at.y() <= marksStrip_.bottom()) {
        const THistoryMark* mark = MarkAt(at);
        const int64_t moment = TimeAt(at.x());
        if (mark != hoveredMark_ || moment != cursorAt_) {
            hoveredMark_ = mark;
            cursorAt_.reset();
            SetCursorAt(moment);
        }
    } else if (cursorAt_ && drag_ == TDrag::None) {
        hoveredMark_ = nullptr;
        SetCursorAt(std::nullopt);
    }
    if (drag_ == TDrag::Band) {
        dragLastX_ = std::clamp(at.x(), plotLeft_, plotRight_);
        update();
    } else if (drag_ == TDrag::Pan && std::abs(at.x() - dragLastX_) >= 1) {
        const double msPerPixel = static_cast<double>(toMs_ - fromMs_) / std::max(1.0, plotRight_ - plotLeft_);
        const auto delta = static_cast<int64_t>(std::llround((dragLastX_ - at.x()) * msPerPixel));
        dragLastX_ = at.x();
        if (OnPan) OnPan(delta, panMoved_);
        panMoved_ = true;
    }
}

void THistoryChart::mouseReleaseEvent(QMouseEvent* event) {
    const TDrag drag = drag_;
    drag_ = TDrag::None;
    update();
    if (drag == TDrag::Band && std::abs(dragLastX_ - dragStartX_) >= 5 && OnZoomTo) {
        OnZoomTo(TimeAt(std::min(dragStartX_, dragLastX_)), TimeAt(std::max(dragStartX_, dragLastX_)));
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void THistoryChart::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OverKey(event->position())) return mousePressEvent(event);
    if (OnDoubleClick) OnDoubleClick();
}

void THistoryChart::wheelEvent(QWheelEvent* event) {
    if (!interactive_ || !OnZoom || event->angleDelta().y() == 0) return QWidget::wheelEvent(event);
    const int64_t now = WallClockMs();
    const bool merge = now - lastWheelMs_ < 600;
    lastWheelMs_ = now;
    const double factor = std::pow(0.8, event->angleDelta().y() / 120.0);
    OnZoom(factor, std::clamp(TimeAt(event->position().x()), fromMs_, toMs_), merge);
}

void THistoryChart::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (drag_ != TDrag::None) return;
    hoveredMark_ = nullptr;
    SetCursorAt(std::nullopt);
}

void THistoryChart::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void THistoryChart::keyPressEvent(QKeyEvent* event) {
    if (!interactive_) return QWidget::keyPressEvent(event);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const int64_t length = toMs_ - fromMs_;
    const int64_t centre = cursorAt_.value_or(fromMs_ + length / 2);
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const int direction = event->key() == Qt::Key_Left ? -1 : 1;
            if (shift) {
                // The reading cursor by a pixel column (a fiftieth of the width with Ctrl).
                const bool coarse = event->modifiers() & Qt::ControlModifier;
                const double step = coarse ? static_cast<double>(length) / 50
                                           : static_cast<double>(length) / std::max(1.0, plotRight_ - plotLeft_);
                SetCursorAt(centre + direction * std::max<int64_t>(1, static_cast<int64_t>(std::ceil(step))));
            } else if (OnPan) {
                OnPan(direction * static_cast<int64_t>(static_cast<double>(length) * kPanShare), false);
            }
            return;
        }
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            if (OnZoom) OnZoom(0.5, centre, false);
            return;
        case Qt::Key_Minus:
            if (OnZoom) OnZoom(2, centre, false);
            return;
        case Qt::Key_Backspace:
            if (OnBack) OnBack();
            return;
        case Qt::Key_Home:
            if (OnHome) OnHome();
            return;
        case Qt::Key_Escape:
            if (cursorAt_) {
                SetCursorAt(std::nullopt);
                return;
            }
            break;
        default:
            break;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace quorvane
