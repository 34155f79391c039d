#include "window/history_page.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>

#include "history/history_csv.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/gui_text.h"

namespace quorvane {

namespace {

constexpr int64_t kHourMs = 3'600'000;
constexpr int64_t kDayMs = 24 * kHourMs;
// Input lanes: input n draws between (n-1)*kLane and (n-1)*kLane + 1.
constexpr double kLane = 1.5;

int64_t WallClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

QString TimeText(int64_t ms, const char* format = "yyyy-MM-dd HH:mm:ss") {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QString::fromLatin1(format));
}

}  // namespace

THistoryPage::THistoryPage(QWidget* parent) : QWidget(parent), now_(WallClockMs) {
    setObjectName(QStringLiteral("HistoryPage"));
    setAccessibleName(QStringLiteral("History"));

    GroupChoice = new QComboBox(this);
    GroupChoice->setObjectName(QStringLiteral("GroupChoice"));
    GroupChoice->setAccessibleName(QStringLiteral("Readings shown"));
    GroupChoice->addItems({QStringLiteral("Temperatures"), QStringLiteral("Fan speeds"), QStringLiteral("Voltages"),
                           QStringLiteral("Inputs")});
    GroupChoice->setGeometry(4, 3, 120, 22);

    RangeChoice = new QComboBox(this);
    RangeChoice->setObjectName(QStringLiteral("RangeChoice"));
    RangeChoice->setAccessibleName(QStringLiteral("Time range"));
    RangeChoice->addItems({QStringLiteral("Last hour"), QStringLiteral("24 hours"), QStringLiteral("7 days"),
                           QStringLiteral("30 days"), QStringLiteral("Everything")});
    RangeChoice->setGeometry(130, 3, 110, 22);

    ExportButton = new QPushButton(QStringLiteral("Export CSV\u2026"), this);
    ExportButton->setObjectName(QStringLiteral("ExportButton"));
    ExportButton->setGeometry(356, 3, 96, 22);

    Chart = new QChart();
    Chart->setMargins(QMargins(0, 0, 0, 0));
    Chart->setBackgroundRoundness(0);
    Chart->legend()->setAlignment(Qt::AlignTop);
    QFont small = Chart->legend()->font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 2));
    Chart->legend()->setFont(small);
    TimeAxis = new QDateTimeAxis();
    TimeAxis->setLabelsFont(small);
    TimeAxis->setTickCount(5);
    ValueAxis = new QValueAxis();
    ValueAxis->setLabelsFont(small);
    Chart->addAxis(TimeAxis, Qt::AlignBottom);
    Chart->addAxis(ValueAxis, Qt::AlignLeft);

    ChartView = new QChartView(Chart, this);  // the view owns the chart
    ChartView->setObjectName(QStringLiteral("ChartView"));
    ChartView->setAccessibleName(QStringLiteral("History chart"));
    ChartView->setRenderHint(QPainter::Antialiasing, false);
    ChartView->setGeometry(0, 27, 457, 158);
    ChartView->setMouseTracking(true);
    ChartView->viewport()->installEventFilter(this);

    PointerLabel = new QLabel(this);
    PointerLabel->setObjectName(QStringLiteral("PointerLabel"));
    PointerLabel->setGeometry(4, 186, 450, 16);
    PointerLabel->setTextFormat(Qt::PlainText);  // marks quote the unit's answers

    FailureMarks = new QScatterSeries();
    FailureMarks->setName(QStringLiteral("No answer"));
    FailureMarks->setColor(QColor(220, 0, 0));
    FailureMarks->setMarkerSize(7);
    EventMarks = new QScatterSeries();
    EventMarks->setName(QStringLiteral("Alarm"));
    EventMarks->setColor(QColor(255, 140, 0));
    EventMarks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    EventMarks->setMarkerSize(7);
    for (QScatterSeries* marks : {FailureMarks, EventMarks}) {
        marks->setBorderColor(marks->color());
        Chart->addSeries(marks);
        marks->attachAxis(TimeAxis);
        marks->attachAxis(ValueAxis);
        const bool failure = marks == FailureMarks;
        connect(marks, &QScatterSeries::hovered, this, [this, failure](const QPointF& point, bool state) {
            if (state) ShowMark(point, failure);
        });
    }

    BuildSeries();
    connect(GroupChoice, &QComboBox::currentIndexChanged, this, [this] {
        BuildSeries();
        Refresh();
    });
    connect(RangeChoice, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(ExportButton, &QPushButton::clicked, this, [this] { ExportClick(); });
}

std::vector<int> THistoryPage::Fields() const {
    // The choices follow the catalogue's groups; a field is a reading's catalogue index.
    static_assert(Temperatures == static_cast<int>(TReadingGroup::Temp) &&
                  FanSpeeds == static_cast<int>(TReadingGroup::Fan) && Voltages == static_cast<int>(TReadingGroup::Volt) &&
                  Inputs == static_cast<int>(TReadingGroup::Input));
    std::vector<int> fields;
    for (const TReading& reading : ReadingsOf(static_cast<TReadingGroup>(GroupChoice->currentIndex()))) {
        fields.push_back(reading.Index);
    }
    return fields;
}

void THistoryPage::BuildSeries() {
    for (QLineSeries* line : Lines) {
        Chart->removeSeries(line);
        delete line;  // removed from the chart, so ours again
    }
    Lines.clear();
    const TGroup group = static_cast<TGroup>(GroupChoice->currentIndex());
    // Colours apart from the marks' red and orange.
    static const QColor colours[] = {QColor(0, 90, 200), QColor(0, 150, 60), QColor(160, 0, 170), QColor(90, 90, 90)};
    for (int field : Fields()) {
        auto* line = new QLineSeries();
        line->setName(QString::fromStdString(HistoryFieldName(field)));
        line->setColor(colours[Lines.size() % 4]);
        Chart->addSeries(line);
        line->attachAxis(TimeAxis);
        line->attachAxis(ValueAxis);
        Lines.push_back(line);
    }
    ValueAxis->setTitleText(QString::fromUtf8(ReadingGroup(static_cast<TReadingGroup>(group)).Unit));
    ValueAxis->setLabelsVisible(group != Inputs);
    // Sixteen lanes need no key: they are in input order from the bottom.
    Chart->legend()->setVisible(group != Inputs);
    for (QLegendMarker* marker : Chart->legend()->markers()) {
        marker->disconnect(this);
        // Each line shows or hides by a click on its key; the marks stay.
        if (marker->series() == FailureMarks || marker->series() == EventMarks) continue;
        connect(marker, &QLegendMarker::clicked, this, [marker] {
            marker->series()->setVisible(!marker->series()->isVisible());
            marker->setVisible(true);
            QFont font = marker->font();
            font.setStrikeOut(!marker->series()->isVisible());
            marker->setFont(font);
        });
    }
}

void THistoryPage::PollRecorded() {
    if (isVisible()) Refresh();
}

void THistoryPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}

void THistoryPage::Refresh() {
    static const int64_t spans[] = {kHourMs, kDayMs, 7 * kDayMs, 30 * kDayMs};
    THistoryStore* store = storeSource_ ? storeSource_() : nullptr;
    toMs_ = now_() + 1;
    fromMs_ = toMs_ - kHourMs;
    const int range = RangeChoice->currentIndex();
    if (range != Everything) fromMs_ = toMs_ - spans[range];
    const std::vector<int> fields = Fields();
    const bool inputs = GroupChoice->currentIndex() == Inputs;
    // Before the first layout the plot area is empty; the view less the axis labels is close.
    const double plotWidth = Chart->plotArea().width() >= 10 ? Chart->plotArea().width() : ChartView->width() - 60;
    const int32_t columns = std::max(1, static_cast<int32_t>(plotWidth));
    std::vector<QList<QPointF>> points(fields.size());
    double low = 0, high = 1;
    bool any = false;
    marks_.clear();
    try {
        if (store && range == Everything) {
            if (const auto span = store->Span()) {
                fromMs_ = span->first;
                toMs_ = std::max(toMs_, span->second + 1);
            }
        }
        if (store) {
            for (const THistoryBucket& bucket : store->Buckets(fields, fromMs_, toMs_, columns)) {
                // The column's lowest and highest reading one above the other, so a spike of
                // a single poll among a thousand still shows.
                const double x = static_cast<double>(bucket.FirstMs);
                for (size_t i = 0; i < fields.size(); ++i) {
                    if (!bucket.Min[i]) continue;
                    const double offset = inputs ? static_cast<double>(i) * kLane : 0;
                    const double minimum = inputs ? std::clamp(*bucket.Min[i], 0.0, 1.0) : *bucket.Min[i];
                    const double maximum = inputs ? std::clamp(*bucket.Max[i], 0.0, 1.0) : *bucket.Max[i];
                    // An input holds its state until the next poll: a step, not a ramp.
                    if (inputs && !points[i].isEmpty()) points[i].append(QPointF(x, points[i].back().y()));
                    points[i].append(QPointF(x, offset + minimum));
                    if (maximum != minimum) points[i].append(QPointF(x, offset + maximum));
                    low = any ? std::min(low, offset + minimum) : offset + minimum;
                    high = any ? std::max(high, offset + maximum) : offset + maximum;
                    any = true;
                }
            }
            marks_ = store->Marks(fromMs_, toMs_, columns);
        }
        PointerLabel->setText(store ? QString() : QStringLiteral("History is not being kept."));
    } catch (const EHistoryError& error) {
        PointerLabel->setText(QStringLiteral("History cannot be read: ") + QString::fromStdString(error.Message()));
    }
    for (size_t i = 0; i < fields.size(); ++i) Lines[i]->replace(points[i]);

    if (inputs) {
        low = 0;
        high = 16 * kLane;
    } else if (high - low < 1e-9) {
        low -= 1;
        high += 1;
    }
    const double pad = inputs ? 0 : (high - low) * 0.05;
    const double bottom = low - pad - (inputs ? 0.5 : (high - low) * 0.08);  // room for the marks
    ValueAxis->setRange(bottom, high + pad);
    QList<QPointF> failures, events;
    for (const THistoryMark& mark : marks_) {
        (mark.Failure ? failures : events).append(QPointF(static_cast<double>(mark.AtMs), bottom));
    }
    FailureMarks->replace(failures);
    EventMarks->replace(events);

    const int64_t shown = toMs_ - fromMs_;
    TimeAxis->setFormat(QString::fromLatin1(shown <= kDayMs ? "HH:mm" : shown <= 60 * kDayMs ? "dd.MM" : "MM.yyyy"));
    TimeAxis->setRange(QDateTime::fromMSecsSinceEpoch(fromMs_), QDateTime::fromMSecsSinceEpoch(toMs_));
}

void THistoryPage::ShowMark(const QPointF& point, bool failure) {
    const auto at = static_cast<int64_t>(std::llround(point.x()));
    for (const THistoryMark& mark : marks_) {
        if (mark.Failure != failure || mark.AtMs != at) continue;
        QString text = TimeText(mark.AtMs) + QStringLiteral("  ") + QString::fromStdString(mark.Title);
        if (mark.Count > 1) text += QStringLiteral(" (and %1 more)").arg(mark.Count - 1);
        PointerLabel->setText(text);
        QToolTip::showText(QCursor::pos(), platform::PlainToolTip(text), ChartView);
        return;
    }
}

void THistoryPage::ShowPointer(const QPointF& position) {
    if (!Chart->plotArea().contains(position)) return;
    const QPointF value = Chart->mapToValue(position);
    const auto at = static_cast<int64_t>(std::llround(value.x()));
    QString text = TimeText(at);
    if (GroupChoice->currentIndex() == Inputs) {
        const int lane = static_cast<int>(std::floor(value.y() / kLane));
        if (lane >= 0 && lane < 16) text += QStringLiteral("  Input %1").arg(lane + 1);
    } else {
        text += QStringLiteral("  %1 %2").arg(value.y(), 0, 'f', 1).arg(ValueAxis->titleText());
    }
    PointerLabel->setText(text);
}

bool THistoryPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ChartView->viewport() && event->type() == QEvent::MouseMove)
        ShowPointer(ChartView->mapToScene(static_cast<QMouseEvent*>(event)->position().toPoint()));
    return QWidget::eventFilter(watched, event);
}

void THistoryPage::ExportClick() {
    const QString suggestion = QStringLiteral("Quorvane-history-%1.csv").arg(TimeText(now_(), "yyyyMMdd-HHmm"));
    const QString fileName = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), suggestion,
                                                          QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!fileName.isEmpty()) ExportCsv(fileName);
}

bool THistoryPage::ExportCsv(const QString& fileName) {
    Refresh();  // the range ends now, as the user sees it
    THistoryStore* store = storeSource_ ? storeSource_() : nullptr;
    const std::string path = platform::FromQString(fileName);
    std::string failure;
    if (store == nullptr) {
        failure = "History is not being kept.";
    } else {
        try {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            if (!out) throw EHistoryError("Cannot write " + path, SQLITE_CANTOPEN);
            WriteHistoryCsv(*store, fromMs_, toMs_, out);
            out.close();
            if (!out) throw EHistoryError("Cannot write " + path, SQLITE_IOERR);
        } catch (const EHistoryError& error) {
            failure = error.Message();
        }
    }
    if (failure.empty()) return true;
    platform::MessageDlg(failure, platform::TMsgDlgType::mtError, this);
    return false;
}

}  // namespace quorvane
