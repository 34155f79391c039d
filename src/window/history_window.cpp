#include "window/history_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "history/history_csv.h"
#include "history/local_time.h"
#include "platform/gui/accessible_role.h"
#include "platform/gui/dialogs.h"
#include "platform/gui/gui_text.h"

namespace quorvane {

namespace {

constexpr int64_t kMinuteMs = 60'000;
constexpr int64_t kDayMs = 24 * 60 * kMinuteMs;

const char* const kRangeNames[THistoryWindowSettings::kRangeCount] = {
    "5 minutes", "15 minutes", "Last hour", "24 hours", "7 days", "30 days", "Everything"};
const char* const kGroupChecks[kHistoryGroupCount] = {"&Temperatures", "&Fan speeds", "&Voltages", "&Inputs"};

QLabel* PlainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QToolButton* ToolButton(const QString& text, const QString& spoken, const QString& name, const QString& hint,
                        QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setObjectName(name);
    button->setAccessibleName(spoken);
    button->setAccessibleDescription(hint);
    button->setToolTip(hint);
    return button;
}

}  // namespace

const std::array<int64_t, THistoryWindowSettings::kRangeCount> THistoryWindow::kRangeLengths = {
    5 * kMinuteMs, 15 * kMinuteMs, 60 * kMinuteMs, kDayMs, 7 * kDayMs, 30 * kDayMs, THistoryView::kEverything};

THistoryWindow::THistoryWindow(std::string settingsFile, QWidget* parent)
    : QWidget(parent, Qt::Window), settingsFile_(std::move(settingsFile)), now_(WallClockMs) {
    if (!settingsFile_.empty()) {
        try {
            loaded_ = THistoryWindowSettings::Load(settingsFile_, std::cerr);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s: %s\n", settingsFile_.c_str(), error.what());
        }
    }
    BuildControls();
    BuildShortcuts();
    RestoreGeometry();
    view_.Choose(kRangeLengths[static_cast<size_t>(loaded_.Range)], Bounds());
    Apply();
}

THistoryWindow::~THistoryWindow() = default;

void THistoryWindow::BuildControls() {
    setObjectName(QStringLiteral("HistoryWindow"));
    platform::SetAccessibleRole(*this, QAccessible::Window);
    setWindowTitle(QStringLiteral("Quorvane History"));
    setAccessibleName(QStringLiteral("Quorvane History"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout();
    top->addWidget(new QLabel(QStringLiteral("Show:"), this));
    for (int group = 0; group < kHistoryGroupCount; ++group) {
        auto* check = new QCheckBox(QString::fromLatin1(kGroupChecks[group]), this);
        check->setObjectName(QStringLiteral("Group%1").arg(group + 1));
        check->setToolTip(QStringLiteral("Show or hide this group (Ctrl+%1)").arg(group + 1));
        check->setChecked(loaded_.Groups[static_cast<size_t>(group)]);
        GroupChecks[static_cast<size_t>(group)] = check;
        top->addWidget(check);
        connect(check, &QCheckBox::toggled, this, [this] { GroupsChanged(); });
    }
    top->addSpacing(16);
    auto* rangeLabel = new QLabel(QStringLiteral("&Range"), this);
    RangeChoice = new QComboBox(this);
    RangeChoice->setObjectName(QStringLiteral("RangeChoice"));
    RangeChoice->setAccessibleName(QStringLiteral("Time range"));
    for (const char* name : kRangeNames) RangeChoice->addItem(QString::fromLatin1(name));
    RangeChoice->setCurrentIndex(loaded_.Range);
    rangeLabel->setBuddy(RangeChoice);
    top->addWidget(rangeLabel);
    top->addWidget(RangeChoice);
    LiveButton = ToolButton(QStringLiteral("&Live"), QStringLiteral("Live"), QStringLiteral("LiveButton"),
                            QStringLiteral("Follow new polls (Ctrl+L)"), this);
    LiveButton->setCheckable(true);
    BackButton = ToolButton(QStringLiteral("&Back"), QStringLiteral("Back"), QStringLiteral("BackButton"),
                            QStringLiteral("The previous view (Backspace in the chart, Alt+Left)"), this);
    HomeButton = ToolButton(QStringLiteral("&Home"), QStringLiteral("Home"), QStringLiteral("HomeButton"),
                            QStringLiteral("The chosen range again (Home in the chart, Alt+Home)"), this);
    ZoomOutButton = ToolButton(QStringLiteral("\u2212"), QStringLiteral("Zoom out"), QStringLiteral("ZoomOutButton"),
                               QStringLiteral("Zoom out (minus in the chart, Ctrl+minus)"), this);
    ZoomInButton = ToolButton(QStringLiteral("+"), QStringLiteral("Zoom in"), QStringLiteral("ZoomInButton"),
                              QStringLiteral("Zoom in (plus in the chart, Ctrl+plus)"), this);
    for (QToolButton* button : {LiveButton, BackButton, HomeButton, ZoomOutButton, ZoomInButton})
        top->addWidget(button);
    top->addStretch(1);
    ExportButton = new QPushButton(QStringLiteral("&Export CSV\u2026"), this);
    ExportButton->setObjectName(QStringLiteral("ExportButton"));
    ExportButton->setToolTip(QStringLiteral("The polls of the stretch shown as comma-separated values (Ctrl+E)"));
    top->addWidget(ExportButton);
    layout->addLayout(top);

    auto* range = new QHBoxLayout();
    auto* fromLabel = new QLabel(QStringLiteral("Fro&m"), this);
    auto* toLabel = new QLabel(QStringLiteral("T&o"), this);
    FromEdit = new QDateTimeEdit(this);
    ToEdit = new QDateTimeEdit(this);
    for (QDateTimeEdit* edit : {FromEdit, ToEdit}) {
        edit->setDisplayFormat(HistoryTimeFormat());
        edit->setCalendarPopup(true);
        edit->installEventFilter(this);
    }
    FromEdit->setObjectName(QStringLiteral("FromEdit"));
    FromEdit->setAccessibleName(QStringLiteral("From"));
    ToEdit->setObjectName(QStringLiteral("ToEdit"));
    ToEdit->setAccessibleName(QStringLiteral("To"));
    fromLabel->setBuddy(FromEdit);
    toLabel->setBuddy(ToEdit);
    ShowButton = new QPushButton(QStringLiteral("&Show"), this);
    ShowButton->setObjectName(QStringLiteral("ShowButton"));
    ShowButton->setToolTip(QStringLiteral("Show the stretch from the one time to the other (Enter in either box)"));
    range->addWidget(fromLabel);
    range->addWidget(FromEdit);
    range->addWidget(toLabel);
    range->addWidget(ToEdit);
    range->addWidget(ShowButton);
    range->addStretch(1);
    layout->addLayout(range);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    Chart = new THistoryChart(splitter);
    Chart->SetInteractive(true);
    Chart->setToolTip(QString());
    auto* side = new QWidget(splitter);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    auto* legendLabel = new QLabel(QStringLiteral("Le&gend (over the stretch shown)"), side);
    Legend = new QTreeWidget(side);
    Legend->setObjectName(QStringLiteral("Legend"));
    Legend->setAccessibleName(QStringLiteral("Legend"));
    Legend->setHeaderLabels({QStringLiteral("Reading"), QStringLiteral("Minimum"), QStringLiteral("Mean"),
                             QStringLiteral("Maximum"), QStringLiteral("Last")});
    Legend->setUniformRowHeights(true);
    legendLabel->setBuddy(Legend);
    auto* eventsLabel = new QLabel(QStringLiteral("Eve&nts (Enter or a click centres the chart)"), side);
    EventList = new QTreeWidget(side);
    EventList->setObjectName(QStringLiteral("EventList"));
    EventList->setAccessibleName(QStringLiteral("Failed polls and alarm events"));
    EventList->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("Reading"), QStringLiteral("Start or end"),
                                QStringLiteral("Value or reason")});
    EventList->setRootIsDecorated(false);
    EventList->setUniformRowHeights(true);
    eventsLabel->setBuddy(EventList);
    EventNote = PlainLabel(QString(), side);
    EventNote->setObjectName(QStringLiteral("EventNote"));
    ExportEventsButton = new QPushButton(QStringLiteral("E&xport events\u2026"), side);
    ExportEventsButton->setObjectName(QStringLiteral("ExportEventsButton"));
    ExportEventsButton->setToolTip(
        QStringLiteral("The failed polls and alarm events of the stretch shown (Ctrl+Shift+E)"));
    sideLayout->addWidget(legendLabel);
    sideLayout->addWidget(Legend, 2);
    sideLayout->addWidget(eventsLabel);
    sideLayout->addWidget(EventList, 3);
    sideLayout->addWidget(EventNote);
    sideLayout->addWidget(ExportEventsButton, 0, Qt::AlignLeft);
    splitter->addWidget(Chart);
    splitter->addWidget(side);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({1000, 440});
    layout->addWidget(splitter, 1);

    ReadoutLabel = PlainLabel(QString(), this);
    ReadoutLabel->setObjectName(QStringLiteral("ReadoutLabel"));
    ReadoutLabel->setAccessibleName(QStringLiteral("Reading at the cursor"));
    ReadoutLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(ReadoutLabel);

    std::vector<THistoryGroup> groups;
    for (int group = 0; group < kHistoryGroupCount; ++group)
        if (loaded_.Groups[static_cast<size_t>(group)]) groups.push_back(static_cast<THistoryGroup>(group));
    if (groups.empty()) {
        groups.push_back(THistoryGroup::Temperatures);
        QSignalBlocker blocker(GroupChecks[0]);
        GroupChecks[0]->setChecked(true);
    }
    Chart->SetGroups(groups);
    RebuildLegend();

    connect(RangeChoice, &QComboBox::activated, this, [this](int index) {
        view_.Choose(kRangeLengths[static_cast<size_t>(index)], Bounds());
        Apply();
    });
    connect(LiveButton, &QToolButton::clicked, this, [this](bool live) {
        view_.SetLive(live, Bounds());
        Apply();
    });
    connect(BackButton, &QToolButton::clicked, this, [this] { Chart->OnBack(); });
    connect(HomeButton, &QToolButton::clicked, this, [this] { Chart->OnHome(); });
    connect(ZoomOutButton, &QToolButton::clicked, this, [this] { ZoomBy(2); });
    connect(ZoomInButton, &QToolButton::clicked, this, [this] { ZoomBy(0.5); });
    connect(ShowButton, &QPushButton::clicked, this,
            [this] { ShowSpan(FromEdit->dateTime().toMSecsSinceEpoch(), ToEdit->dateTime().toMSecsSinceEpoch()); });
    connect(ExportButton, &QPushButton::clicked, this, [this] { ExportClick(false); });
    connect(ExportEventsButton, &QPushButton::clicked, this, [this] { ExportClick(true); });
    connect(Legend, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        const QVariant field = item->data(0, Qt::UserRole);
        if (column == 0 && field.isValid()) Chart->SetSeriesVisible(field.toInt(), item->checkState(0) == Qt::Checked);
    });
    connect(EventList, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { EventChosen(item); });
    connect(EventList, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { EventChosen(item); });

    Chart->OnZoomTo = [this](int64_t fromMs, int64_t toMs) {
        view_.Show({fromMs, toMs}, Bounds());
        Apply();
    };
    Chart->OnZoom = [this](double factor, int64_t anchorMs, bool merge) {
        view_.Zoom(factor, anchorMs, Bounds(), merge);
        Apply();
    };
    Chart->OnPan = [this](int64_t deltaMs, bool merge) {
        view_.PanBy(deltaMs, Bounds(), merge);
        Apply();
    };
    Chart->OnBack = [this] {
        if (view_.Back(Bounds())) Apply();
    };
    Chart->OnHome = [this] {
        view_.Home(Bounds());
        Apply();
    };
    Chart->OnDoubleClick = [this] { ZoomBy(0.5); };
    Chart->OnReadout = [this] { ReadoutLabel->setText(Chart->Readout().join(QStringLiteral("   "))); };
    Chart->OnStatistics = [this] { FillLegend(); };
    Chart->OnSeriesToggled = [this](int, bool) { FillLegend(); };
}

void THistoryWindow::BuildShortcuts() {
    auto add = [this](const QKeySequence& keys, std::function<void()> action) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, std::move(action));
    };
    add(QKeySequence(Qt::ALT | Qt::Key_Left), [this] { Chart->OnBack(); });
    add(QKeySequence(Qt::ALT | Qt::Key_Home), [this] { Chart->OnHome(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Left), [this] { PanBy(-0.1); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Right), [this] { PanBy(0.1); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { ZoomBy(2); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { ZoomBy(0.5); });
    add(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { ZoomBy(0.5); });
    add(QKeySequence(Qt::CTRL | Qt::Key_L), [this] { LiveButton->click(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_E), [this] { ExportClick(false); });
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), [this] { ExportClick(true); });
    add(QKeySequence(Qt::ALT | Qt::Key_C), [this] { Chart->setFocus(Qt::ShortcutFocusReason); });
    add(QKeySequence(Qt::CTRL | Qt::Key_W), [this] { close(); });
    for (int group = 0; group < kHistoryGroupCount; ++group) {
        add(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + group)),
            [this, group] { GroupChecks[static_cast<size_t>(group)]->click(); });
    }
    Chart->setToolTip(QString());
    Chart->setWhatsThis(QStringLiteral(
        "Drag across the chart to zoom to that stretch, turn the wheel to zoom around the pointer, drag with the "
        "middle button or with Shift held to pan. Keys: Left and Right pan by a tenth, plus and minus zoom, "
        "Backspace goes back, Home returns to the chosen range, Shift+Left and Shift+Right move the reading "
        "cursor by a pixel (with Ctrl by a fiftieth), Escape hides it."));
}

void THistoryWindow::SetStoreSource(std::function<THistoryStore*()> source) {
    storeSource_ = std::move(source);
    Chart->SetStoreSource(storeSource_);
    view_.Follow(Bounds());
    Apply();
}

void THistoryWindow::SetLimitsSource(std::function<const TAlarmRules*()> source) {
    Chart->SetLimitsSource(std::move(source));
    Chart->Reload();
}

THistoryBounds THistoryWindow::Bounds() const {
    THistoryBounds bounds{now_() - 60 * kMinuteMs, now_()};
    THistoryStore* store = storeSource_ ? storeSource_() : nullptr;
    try {
        if (store == nullptr) return bounds;
        if (const auto span = store->Span()) {
            bounds.OldestMs = std::min(span->first, bounds.NowMs);
            bounds.NowMs = std::max(bounds.NowMs, span->second);
        }
    } catch (const EHistoryError&) {
        // The chart says why; the view keeps the last hour.
    }
    return bounds;
}

void THistoryWindow::Apply() {
    const THistorySpan& span = view_.Shown();
    Chart->SetSpan(span.FromMs, span.ToMs);
    for (auto [edit, ms] : {std::pair{FromEdit, span.FromMs}, std::pair{ToEdit, span.ToMs}}) {
        QSignalBlocker blocker(edit);
        edit->setDateTime(QDateTime::fromMSecsSinceEpoch(ms));
    }
    LiveButton->setChecked(view_.Live());
    BackButton->setEnabled(view_.CanGoBack());
    // The list follows the chart once it is drawn.
    eventsPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (eventsPending_) FillEvents();
    });
}

void THistoryWindow::PollRecorded() {
    if (view_.Live()) {
        view_.Follow(Bounds());
        Apply();
    } else {
        Chart->Reload();
    }
}

void THistoryWindow::ShowSpan(int64_t fromMs, int64_t toMs) {
    view_.Show({fromMs, toMs}, Bounds());
    Apply();
}

void THistoryWindow::ZoomBy(double factor) {
    const int64_t centre = Chart->CursorAt().value_or(Chart->FromMs() + (Chart->ToMs() - Chart->FromMs()) / 2);
    view_.Zoom(factor, centre, Bounds());
    Apply();
}

void THistoryWindow::PanBy(double share) {
    view_.Pan(share, Bounds());
    Apply();
}

void THistoryWindow::GroupsChanged() {
    std::vector<THistoryGroup> groups;
    for (int group = 0; group < kHistoryGroupCount; ++group)
        if (GroupChecks[static_cast<size_t>(group)]->isChecked()) groups.push_back(static_cast<THistoryGroup>(group));
    if (groups.empty()) {
        // One group at least: the last one stays.
        for (QCheckBox* check : GroupChecks) {
            QSignalBlocker blocker(check);
            check->setChecked(std::find(GroupChecks.begin(), GroupChecks.end(), check) - GroupChecks.begin() ==
                              static_cast<long>(Chart->Groups().front()));
        }
        return;
    }
    Chart->SetGroups(groups);
    RebuildLegend();
}

void THistoryWindow::RebuildLegend() {
    QSignalBlocker blocker(Legend);
    Legend->clear();
    for (const THistoryChart::TLane& lane : Chart->Lanes()) {
        auto* group = new QTreeWidgetItem(Legend, {QString::fromUtf8(HistoryGroupInfo(lane.Group).Title)});
        for (const THistoryChart::TSeries& series : lane.Series) {
            auto* item = new QTreeWidgetItem(group, {HistorySeriesLabel(series.Field)});
            item->setData(0, Qt::UserRole, series.Field);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, Chart->SeriesVisible(series.Field) ? Qt::Checked : Qt::Unchecked);
            item->setForeground(0, series.Colour);
        }
    }
    Legend->expandAll();
    FillLegend();
}

void THistoryWindow::FillLegend() {
    QSignalBlocker blocker(Legend);
    const std::vector<THistoryChart::TStatistic>& statistics = Chart->Statistics();
    for (int top = 0; top < Legend->topLevelItemCount(); ++top) {
        QTreeWidgetItem* group = Legend->topLevelItem(top);
        for (int child = 0; child < group->childCount(); ++child) {
            QTreeWidgetItem* item = group->child(child);
            const int field = item->data(0, Qt::UserRole).toInt();
            item->setCheckState(0, Chart->SeriesVisible(field) ? Qt::Checked : Qt::Unchecked);
            QStringList texts{QString(), QString(), QString(), QString()};
            for (const THistoryChart::TStatistic& statistic : statistics)
                if (statistic.Field == field) texts = HistoryStatisticTexts(statistic);
            for (int column = 0; column < 4; ++column) item->setText(column + 1, texts[column]);
        }
    }
    for (int column = 0; column < Legend->columnCount(); ++column) Legend->resizeColumnToContents(column);
}

void THistoryWindow::FillEvents() {
    eventsPending_ = false;
    const QTreeWidgetItem* current = EventList->currentItem();
    const QVariant chosen = current ? current->data(0, Qt::UserRole) : QVariant();
    EventList->clear();
    EventNote->clear();
    THistoryStore* store = storeSource_ ? storeSource_() : nullptr;
    if (store == nullptr) return;
    std::vector<THistoryOccurrence> occurrences;
    try {
        occurrences = store->Occurrences(view_.Shown().FromMs, view_.Shown().ToMs, kEventRows + 1);
    } catch (const EHistoryError& error) {
        EventNote->setText(QStringLiteral("History cannot be read: ") + QString::fromStdString(error.Message()));
        return;
    }
    if (occurrences.size() > kEventRows) {
        occurrences.erase(occurrences.begin());
        EventNote->setText(
            QStringLiteral("The newest %1 of the stretch shown; zoom in for the others.").arg(kEventRows));
    } else if (occurrences.empty()) {
        EventNote->setText(QStringLiteral("No failed poll and no alarm in the stretch shown."));
    }
    QList<QTreeWidgetItem*> items;
    for (const THistoryOccurrence& occurrence : occurrences) {
        QString reading, kind, detail;
        if (occurrence.Failure) {
            kind = QStringLiteral("Failed poll");
            detail = QString::fromStdString(occurrence.Detail);
        } else {
            reading = occurrence.Field >= 0 ? HistorySeriesLabel(occurrence.Field) : QStringLiteral("Unit");
            kind = occurrence.Started ? QStringLiteral("Start") : QStringLiteral("End");
            detail = occurrence.Field >= 0 ? platform::ToQString(occurrence.Detail).trimmed() + QLatin1Char(' ') +
                                                 HistoryUnit(occurrence.Field)
                                           : QString::fromStdString(occurrence.Detail);
        }
        auto* item = new QTreeWidgetItem({HistoryMomentText(occurrence.AtMs), reading, kind, detail.trimmed()});
        item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(occurrence.AtMs));
        items.append(item);
    }
    EventList->addTopLevelItems(items);
    for (QTreeWidgetItem* item : items) {
        if (chosen.isValid() && item->data(0, Qt::UserRole) == chosen) {
            QSignalBlocker blocker(EventList);
            EventList->setCurrentItem(item);
        }
    }
    for (int column = 0; column < 3; ++column) EventList->resizeColumnToContents(column);
}

void THistoryWindow::EventChosen(QTreeWidgetItem* item) {
    if (item == nullptr) return;
    const int64_t atMs = item->data(0, Qt::UserRole).toLongLong();
    view_.Centre(atMs, Bounds());
    Apply();
    Chart->SetCursorAt(atMs);
}

QString AskHistoryCsvName(QWidget* parent, bool events, int64_t nowMs) {
    const QString suggestion =
        QStringLiteral("Quorvane-%1-%2.csv")
            .arg(events ? QStringLiteral("events") : QStringLiteral("history"),
                 QDateTime::fromMSecsSinceEpoch(nowMs).toString(QStringLiteral("yyyyMMdd-HHmm")));
    return QFileDialog::getSaveFileName(parent, events ? QStringLiteral("Export events") : QStringLiteral("Export CSV"),
                                        suggestion, QStringLiteral("CSV files (*.csv);;All files (*)"));
}

bool WriteHistoryFile(THistoryStore* store, const QString& fileName, const THistorySpan& span, bool events,
                      QWidget* parent) {
    const std::string path = platform::FromQString(fileName);
    std::string failure;
    if (store == nullptr) {
        failure = "History is not being kept.";
    } else {
        try {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            if (!out) throw EHistoryError("Cannot write " + path, SQLITE_CANTOPEN);
            if (events)
                WriteHistoryEventsCsv(*store, span.FromMs, span.ToMs, out);
            else
                WriteHistoryCsv(*store, span.FromMs, span.ToMs, out);
            out.close();
            if (!out) throw EHistoryError("Cannot write " + path, SQLITE_IOERR);
        } catch (const EHistoryError& error) {
            failure = error.Message();
        }
    }
    if (failure.empty()) return true;
    platform::MessageDlg(failure, platform::TMsgDlgType::mtError, parent);
    return false;
}

void THistoryWindow::ExportClick(bool events) {
    const QString fileName = AskHistoryCsvName(this, events, now_());
    if (!fileName.isEmpty())
        WriteHistoryFile(storeSource_ ? storeSource_() : nullptr, fileName, view_.Shown(), events, this);
}

bool THistoryWindow::ExportCsv(const QString& fileName) {
    return WriteHistoryFile(storeSource_ ? storeSource_() : nullptr, fileName, view_.Shown(), false, this);
}

bool THistoryWindow::ExportEvents(const QString& fileName) {
    return WriteHistoryFile(storeSource_ ? storeSource_() : nullptr, fileName, view_.Shown(), true, this);
}

void THistoryWindow::RestoreGeometry() {
    resize(loaded_.Width, loaded_.Height);
    if (loaded_.Left && loaded_.Top) {
        // Only onto a screen that is there now.
        const QPoint corner(*loaded_.Left, *loaded_.Top);
        if (QGuiApplication::screenAt(corner + QPoint(40, 20)) != nullptr) move(corner);
    }
    if (loaded_.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
    normalGeometry_ = QRect(pos(), size());
}

THistoryWindowSettings THistoryWindow::CurrentSettings() const {
    THistoryWindowSettings settings = loaded_;
    // A size or place the user gave; where (and how large) the desktop first put the window is
    // not kept.
    const QRect given = placed_.value_or(
        QRect(QPoint(loaded_.Left.value_or(0), loaded_.Top.value_or(0)), QSize(loaded_.Width, loaded_.Height)));
    if (normalGeometry_.size() != given.size()) {
        settings.Width = normalGeometry_.width();
        settings.Height = normalGeometry_.height();
    }
    if (placed_ && normalGeometry_.topLeft() != placed_->topLeft()) {
        settings.Left = normalGeometry_.x();
        settings.Top = normalGeometry_.y();
    }
    settings.Maximized = isVisible() ? isMaximized() : loaded_.Maximized;
    for (int group = 0; group < kHistoryGroupCount; ++group)
        settings.Groups[static_cast<size_t>(group)] = GroupChecks[static_cast<size_t>(group)]->isChecked();
    settings.Range = RangeChoice->currentIndex();
    return settings;
}

void THistoryWindow::SaveSettings() {
    if (settingsFile_.empty()) return;
    const THistoryWindowSettings current = CurrentSettings();
    if (current == loaded_) return;
    try {
        THistoryWindowSettings::Save(settingsFile_, current);
        loaded_ = current;
        placed_ = normalGeometry_;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", settingsFile_.c_str(), error.what());
    }
}

void THistoryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (placed_) return;
    // The desktop places a new window a moment after it is shown.
    QTimer::singleShot(300, this, [this] {
        if (!placed_) placed_ = normalGeometry_;
    });
}

void THistoryWindow::closeEvent(QCloseEvent* event) {
    SaveSettings();
    QWidget::closeEvent(event);
}

void THistoryWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (!isMaximized() && !isMinimized() && !isFullScreen()) normalGeometry_.moveTopLeft(pos());
}

void THistoryWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!isMaximized() && !isMinimized() && !isFullScreen()) normalGeometry_.setSize(size());
}

bool THistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == FromEdit || watched == ToEdit) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ShowButton->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quorvane
