#include "window/history_chart.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDateTime>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>

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
constexpr double kMarkRow = 13;
constexpr double kLaneGap = 8;
constexpr double kPanShare = 0.1;

int64_t WallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

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

// The chart announces itself as a chart; its description carries the range and statistics.
class TChartAccessible : public QAccessibleWidget {
public:
    explicit TChartAccessible(QWidget* chart) : QAccessibleWidget(chart, QAccessible::Chart) {}
};

QAccessibleInterface* ChartAccessibleFactory(const QString& className, QObject* object) {
    if (object == nullptr || !object->isWidgetType() || object->objectName() != QLatin1String("HistoryChart") ||
        className != QLatin1String("QWidget"))
        return nullptr;
    return dynamic_cast<THistoryChart*>(object) ? new TChartAccessible(static_cast<QWidget*>(object)) : nullptr;
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
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(ChartAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setObjectName(QStringLiteral("HistoryChart"));
    setAccessibleName(QStringLiteral("History chart"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
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
    dirty_ = true;
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

std::vector<std::pair<QRectF, int>> THistoryChart::Keys(const TLane& lane) const {
    std::vector<std::pair<QRectF, int>> keys;
    if (HistoryGroupInfo(lane.Group).Steps) return keys;  // sixteen keys would not fit: the lanes are numbered
    QFont bold = font();
    bold.setBold(true);
    const QFontMetricsF metrics(font());
    double x = lane.Header.left() + QFontMetricsF(bold).horizontalAdvance(LaneTitle(lane)) + 16;
    for (const TSeries& series : lane.Series) {
        const double width = 14 + metrics.horizontalAdvance(HistorySeriesLabel(series.Field)) + 4;
        keys.emplace_back(QRectF(x, lane.Header.top(), width, lane.Header.height()), series.Field);
        x += width + 8;
    }
    return keys;
}

std::optional<int> THistoryChart::KeyAt(const QPointF& point) const {
    for (const TLane& lane : lanes_) {
        if (!lane.Header.contains(point)) continue;
        for (const auto& [box, field] : Keys(lane))
            if (box.contains(point)) return field;
    }
    return std::nullopt;
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
    if (dirty_ || cache_.size() != size() * ratio) {
        if (cache_.size() != size() * ratio) {
            cache_ = QPixmap(size() * ratio);
            cache_.setDevicePixelRatio(ratio);
        }
        cache_.fill(palette().color(QPalette::Base));
        QPainter chart(&cache_);
        chart.setFont(font());
        PaintChart(chart);
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

void THistoryChart::PaintChart(QPainter& painter) {
    const QColor text = palette().color(QPalette::Text);
    if (!problem_.isEmpty()) {
        painter.setPen(text);
        painter.drawText(QRectF(rect()).adjusted(plotLeft_, 0, 0, -marksStrip_.height()), Qt::AlignCenter, problem_);
    }
    // Time grid across every lane, then the lanes, the marks and the time labels.
    QColor grid = text;
    grid.setAlpha(35);
    painter.setPen(QPen(grid, 1));
    for (const TTimeTick& tick : timeTicks_.Ticks) {
        const double x = std::round(XOf(tick.AtMs)) + 0.5;
        for (const TLane& lane : lanes_) painter.drawLine(QPointF(x, lane.Plot.top()), QPointF(x, lane.Plot.bottom()));
    }
    for (const TLane& lane : lanes_) PaintLane(painter, lane);
    PaintMarks(painter);
    PaintTimeAxis(painter);
}

void THistoryChart::PaintLane(QPainter& painter, const TLane& lane) {
    const THistoryGroupInfo& info = HistoryGroupInfo(lane.Group);
    const QColor text = palette().color(QPalette::Text);
    const QFontMetricsF metrics(painter.font());
    QColor axisColour = text;
    axisColour.setAlpha(110);
    QColor grid = text;
    grid.setAlpha(35);
    const QRectF& plot = lane.Plot;

    // Header: the group with its unit, then a key per series (a click shows or hides it).
    painter.setPen(text);
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    DrawLabel(painter, lane.Header.adjusted(0, 0, 0, -2), Qt::AlignLeft, LaneTitle(lane));
    for (const auto& [box, field] : Keys(lane)) {
        const TSeries* series = nullptr;
        for (const TSeries& candidate : lane.Series)
            if (candidate.Field == field) series = &candidate;
        const QRectF swatch(box.left(), box.center().y() - 4, 10, 8);
        QFont keyFont = font();
        keyFont.setStrikeOut(!series->Visible);
        painter.setFont(keyFont);
        if (series->Visible) {
            painter.fillRect(swatch, series->Colour);
        } else {
            painter.setPen(series->Colour);
            painter.drawRect(swatch);
        }
        painter.setPen(series->Visible ? text : axisColour);
        DrawLabel(painter, box.adjusted(14, 0, 0, -2), Qt::AlignLeft, HistorySeriesLabel(field));
    }
    painter.setFont(font());

    painter.setPen(QPen(axisColour, 1));
    painter.drawLine(QPointF(plot.left() - 0.5, plot.top()), QPointF(plot.left() - 0.5, plot.bottom()));
    painter.save();
    if (info.Steps) {
        // Sixteen on/off lanes, input 1 at the bottom; a column that saw both states shows both.
        const double laneHeight = plot.height() / static_cast<double>(lane.Series.size());
        const int labelEvery = laneHeight >= metrics.height() ? 1 : laneHeight * 2 >= metrics.height() ? 2 : 4;
        for (size_t i = 0; i < lane.Series.size(); ++i) {
            const double base = plot.bottom() - static_cast<double>(i) * laneHeight;
            const double off = base - laneHeight * 0.15, on = base - laneHeight * 0.8;
            if (i % static_cast<size_t>(labelEvery) == 0) {
                painter.setPen(text);
                DrawLabel(painter, QRectF(0, base - laneHeight, plot.left() - 6, laneHeight), Qt::AlignRight,
                          QString::number(i + 1));
            }
            const TSeries& series = lane.Series[i];
            if (!series.Visible) continue;
            painter.setClipRect(plot);
            painter.setPen(QPen(series.Colour, 1));
            const int64_t gap = BreakGap(series);
            QPolygonF steps;
            double previous = off;
            int64_t previousAt = 0;
            auto hold = [&](int64_t untilMs) {
                // An input keeps its state until the next poll, or for a usual step at the end.
                if (!steps.isEmpty()) steps << QPointF(XOf(untilMs), previous);
            };
            for (const TColumn& column : series.Columns) {
                if (!steps.isEmpty() && column.AtMs - previousAt > gap) {
                    hold(previousAt + gap / 4);
                    painter.drawPolyline(steps);
                    steps.clear();
                }
                hold(column.AtMs);
                const double x = XOf(column.AtMs);
                const double low = column.Min >= 0.5 ? on : off, high = column.Max >= 0.5 ? on : off;
                steps << QPointF(x, low);
                if (high != low) steps << QPointF(x, high);
                previous = high;
                previousAt = column.AtMs;
            }
            hold(std::min(toMs_, previousAt + gap / 4));
            painter.drawPolyline(steps);
            painter.setClipping(false);
        }
        painter.restore();
        return;
    }

    const TValueTicks& axis = lane.Axis;
    auto y = [&](double value) { return plot.bottom() - (value - axis.Low) / (axis.High - axis.Low) * plot.height(); };
    for (double tick : axis.Ticks) {
        const double at = std::round(y(tick)) + 0.5;
        painter.setPen(QPen(grid, 1));
        painter.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
        painter.setPen(text);
        DrawLabel(painter, QRectF(0, at - metrics.height() / 2, plot.left() - 6, metrics.height()), Qt::AlignRight,
                  NumberText(tick, axis.Decimals));
    }
    painter.setClipRect(plot);
    double above = plot.top() + 1, below = plot.bottom() - metrics.height() - 1;
    for (const TLimit& limit : lane.Limits) {
        const TSeries* series = nullptr;
        for (const TSeries& candidate : lane.Series)
            if (candidate.Field == limit.Field) series = &candidate;
        const QString label = HistorySeriesLabel(limit.Field) +
                              (limit.High ? QStringLiteral(" high ") : QStringLiteral(" low ")) + limit.Text;
        painter.setPen(QPen(series ? series->Colour : text, 1, Qt::DashLine));
        if (limit.Value < axis.Low || limit.Value > axis.High) {
            const bool over = limit.Value > axis.High;
            double& at = over ? above : below;
            DrawLabel(painter, QRectF(plot.left(), at, plot.width() - 4, metrics.height()), Qt::AlignRight,
                      (over ? QStringLiteral("\u25B2 ") : QStringLiteral("\u25BC ")) + label);
            at += over ? metrics.height() : -metrics.height();
            continue;
        }
        const double at = std::round(y(limit.Value)) + 0.5;
        painter.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
        DrawLabel(
            painter,
            QRectF(plot.left(), limit.High ? at - metrics.height() - 1 : at + 1, plot.width() - 4, metrics.height()),
            Qt::AlignRight, label);
    }
    for (const TSeries& series : lane.Series) {
        if (!series.Visible || series.Columns.empty()) continue;
        const auto gap = static_cast<double>(BreakGap(series));
        painter.setPen(QPen(series.Colour, 1));
        QPolygonF line;
        for (size_t i = 0; i < series.Columns.size(); ++i) {
            const TColumn& column = series.Columns[i];
            if (i > 0 && static_cast<double>(column.AtMs - series.Columns[i - 1].AtMs) > gap) {
                if (line.size() == 1) painter.drawPoint(line.front());
                painter.drawPolyline(line);
                line.clear();
            }
            const double x = XOf(column.AtMs);
            line << QPointF(x, y(column.Min));
            if (column.Max != column.Min) line << QPointF(x, y(column.Max));
        }
        if (line.size() == 1) painter.drawPoint(line.front());
        painter.drawPolyline(line);
    }
    painter.restore();
}

void THistoryChart::PaintMarks(QPainter& painter) {
    // Each kind drawn once, smooth, and then copied to every place: years of history hold
    // thousands of marks.
    const qreal ratio = painter.device()->devicePixelRatioF();
    auto shape = [&](bool failure) {
        QPixmap mark(QSize(static_cast<int>(std::ceil((kMarkSize + 2) * ratio)),
                           static_cast<int>(std::ceil((kMarkSize + 2) * ratio))));
        mark.setDevicePixelRatio(ratio);
        mark.fill(Qt::transparent);
        QPainter draw(&mark);
        draw.setRenderHint(QPainter::Antialiasing, true);
        draw.setPen(QPen(palette().color(QPalette::Base), 1));
        draw.setBrush(failure ? QColor(220, 0, 0) : QColor(255, 140, 0));
        const QRectF box(1, 1, kMarkSize, kMarkSize);
        if (failure)
            draw.drawEllipse(box);
        else
            draw.drawRect(box);
        return mark;
    };
    const QPixmap failure = shape(true), alarm = shape(false);
    for (const THistoryMark& mark : marks_) {
        const QPointF corner(XOf(mark.AtMs) - kMarkSize / 2 - 1, MarkY(mark) - kMarkSize / 2 - 1);
        painter.drawPixmap(corner, mark.Failure ? failure : alarm);
    }
}

void THistoryChart::PaintTimeAxis(QPainter& painter) {
    const QColor text = palette().color(QPalette::Text);
    const QFontMetricsF metrics(painter.font());
    QColor axisColour = text;
    axisColour.setAlpha(110);
    painter.setPen(QPen(axisColour, 1));
    painter.drawLine(QPointF(plotLeft_, marksStrip_.bottom() + 0.5), QPointF(plotRight_, marksStrip_.bottom() + 0.5));
    const QLocale locale = QLocale::system();
    for (const TTimeTick& tick : timeTicks_.Ticks) {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(tick.AtMs);
        QString first, second;
        switch (timeTicks_.Unit) {
            case TTimeUnit::Second:
            case TTimeUnit::Minute:
            case TTimeUnit::Hour:
                first = locale.toString(time.time(), TimeFormat(timeTicks_.Unit == TTimeUnit::Second));
                if (tick.NewDay) second = DateText(time);
                break;
            case TTimeUnit::Day:
                first = DateText(time);
                break;
            case TTimeUnit::Month:
                first = locale.toString(time.date(), QStringLiteral("MMM yyyy"));
                break;
            case TTimeUnit::Year:
                first = QString::number(time.date().year());
                break;
        }
        const double x = std::round(XOf(tick.AtMs)) + 0.5;
        painter.setPen(QPen(axisColour, 1));
        painter.drawLine(QPointF(x, marksStrip_.bottom()), QPointF(x, marksStrip_.bottom() + 4));
        painter.setPen(text);
        double lineY = marksStrip_.bottom() + 5;
        for (const QString& label : {first, second}) {
            if (label.isEmpty()) continue;
            const double labelWidth = metrics.horizontalAdvance(label);
            const double left = std::clamp(x - labelWidth / 2, 0.0, std::max(0.0, width() - labelWidth));
            DrawLabel(painter, QRectF(left, lineY, labelWidth + 1, metrics.height()), Qt::AlignLeft, label);
            lineY += metrics.height();
        }
    }
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
        Layout();
        Load();
    }
}

void THistoryChart::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ShiftModifier)) {
        if (const std::optional<int> field = KeyAt(at)) {
            SetSeriesVisible(*field, !SeriesVisible(*field));
            if (OnSeriesToggled) OnSeriesToggled(*field, SeriesVisible(*field));
            return;
        }
    }
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
    if (KeyAt(event->position())) return mousePressEvent(event);
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
