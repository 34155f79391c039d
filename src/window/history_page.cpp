#include "window/history_page.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

#include "history/local_time.h"
#include "window/history_chart.h"
#include "window/history_window.h"

namespace quorvane {

THistoryPage::THistoryPage(QWidget* parent) : QWidget(parent), now_(WallClockMs) {
    setObjectName(QStringLiteral("HistoryPage"));
    setAccessibleName(QStringLiteral("History"));

    GroupChoice = new QComboBox(this);
    GroupChoice->setObjectName(QStringLiteral("GroupChoice"));
    GroupChoice->setAccessibleName(QStringLiteral("Readings shown"));
    for (int group = 0; group < kHistoryGroupCount; ++group)
        GroupChoice->addItem(QString::fromUtf8(HistoryGroupInfo(static_cast<THistoryGroup>(group)).Title));
    GroupChoice->setGeometry(4, 3, 116, 22);

    RangeChoice = new QComboBox(this);
    RangeChoice->setObjectName(QStringLiteral("RangeChoice"));
    RangeChoice->setAccessibleName(QStringLiteral("Time range"));
    RangeChoice->addItems({QStringLiteral("5 minutes"), QStringLiteral("15 minutes"), QStringLiteral("Last hour"),
                           QStringLiteral("24 hours"), QStringLiteral("7 days"), QStringLiteral("30 days"),
                           QStringLiteral("Everything")});
    RangeChoice->setCurrentIndex(LastHour);
    RangeChoice->setGeometry(124, 3, 102, 22);

    WindowButton = new QPushButton(QStringLiteral("Open in &window"), this);
    WindowButton->setObjectName(QStringLiteral("WindowButton"));
    WindowButton->setToolTip(
        QStringLiteral("A large window with zoom, pan, statistics and events (or double-click the chart)"));
    WindowButton->setGeometry(230, 3, 118, 22);

    ExportButton = new QPushButton(QStringLiteral("Export CSV\u2026"), this);
    ExportButton->setObjectName(QStringLiteral("ExportButton"));
    ExportButton->setGeometry(352, 3, 100, 22);

    Chart = new THistoryChart(this);
    QFont small = Chart->font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 2));
    Chart->setFont(small);
    Chart->setGeometry(0, 27, 457, 158);

    PointerLabel = new QLabel(this);
    PointerLabel->setObjectName(QStringLiteral("PointerLabel"));
    PointerLabel->setTextFormat(Qt::PlainText);
    PointerLabel->setGeometry(4, 186, 450, 16);

    Chart->OnReadout = [this] {
        // The moment itself is on the axis; the label gives the poll and its values.
        QStringList lines = Chart->Readout();
        if (!lines.isEmpty()) lines.removeFirst();
        PointerLabel->setText(lines.isEmpty() ? Chart->Problem() : lines.join(QStringLiteral("  ")));
    };
    Chart->OnDoubleClick = [this] { OpenWindow(); };
    connect(GroupChoice, &QComboBox::currentIndexChanged, this, [this](int group) {
        Chart->SetGroups({static_cast<THistoryGroup>(group)});
        Refresh();
    });
    connect(RangeChoice, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(WindowButton, &QPushButton::clicked, this, [this] { OpenWindow(); });
    connect(ExportButton, &QPushButton::clicked, this, [this] { ExportClick(); });
}

THistoryPage::~THistoryPage() = default;

void THistoryPage::SetStoreSource(std::function<THistoryStore*()> source) {
    storeSource_ = std::move(source);
    Chart->SetStoreSource(storeSource_);
    if (window_) window_->SetStoreSource(storeSource_);
}

void THistoryPage::SetLimitsSource(std::function<const TAlarmRules*()> source) {
    limitsSource_ = std::move(source);
    Chart->SetLimitsSource(limitsSource_);
    if (window_) window_->SetLimitsSource(limitsSource_);
}

void THistoryPage::PollRecorded() {
    if (isVisible()) Refresh();
    if (window_ && window_->isVisible()) window_->PollRecorded();
}

void THistoryPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}

void THistoryPage::Refresh() {
    toMs_ = now_() + 1;
    const int range = RangeChoice->currentIndex();
    fromMs_ = toMs_ - THistoryWindow::kRangeLengths[static_cast<size_t>(range)];
    if (range == Everything) {
        fromMs_ = toMs_ - 3'600'000;
        THistoryStore* store = storeSource_ ? storeSource_() : nullptr;
        try {
            if (const auto span = store ? store->Span() : std::nullopt) {
                fromMs_ = span->first;
                toMs_ = std::max(toMs_, span->second + 1);
            }
        } catch (const EHistoryError&) {
            // The chart says why it shows nothing.
        }
    }
    Chart->SetSpan(fromMs_, toMs_);
    if (Chart->Readout().isEmpty()) PointerLabel->setText(Chart->Problem());
}

void THistoryPage::OpenWindow() {
    if (!window_) {
        window_ = std::make_unique<THistoryWindow>(settingsFile_);
        window_->SetClock(now_);
        window_->SetLimitsSource(limitsSource_);
        window_->SetStoreSource(storeSource_);
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void THistoryPage::SaveWindowSettings() {
    if (window_) window_->SaveSettings();
}

void THistoryPage::ExportClick() {
    const QString fileName = AskHistoryCsvName(this, false, now_());
    if (!fileName.isEmpty()) ExportCsv(fileName);
}

bool THistoryPage::ExportCsv(const QString& fileName) {
    Refresh();  // the range ends now, as the user sees it
    return WriteHistoryFile(storeSource_ ? storeSource_() : nullptr, fileName, {fromMs_, toMs_}, false, this);
}

}  // namespace quorvane
