#include "window/history_window.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "history/history_store.h"
#include "window/form1.h"
#include "window/history_page.h"
#include "window_unit_test.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

constexpr int64_t kNow = 1'765'000'000'000;
constexpr int64_t kMinute = 60'000;
constexpr int64_t kHour = 60 * kMinute;

TReadingRecord Reading(int minute) {
    TReadingRecord reading;
    for (int i = 1; i <= 3; ++i) {
        reading.Temp(i) = std::to_string(30 + i + minute % 7) + ".5";
        reading.Fan(i) = std::to_string(2000 + 10 * (minute % 13));
        reading.Volt(i) = "12.0";
    }
    for (int i = 1; i <= 16; ++i) reading.Input(i) = (minute / i) % 2 ? "1" : "0";
    return reading;
}

// Two days of polls a minute apart ending at kNow; one failed poll with a reason that looks
// like markup, and an alarm on Temp 1.
class HistoryWindowTest : public testing::WindowUnitTest {
protected:
    void SetUp() override {
        store_ = std::make_unique<THistoryStore>(directory_.File("h.sqlite3"));
        int minute = 0;
        store_->RecordAll([&](TPollOutcome& outcome, TReadingRecord& reading, std::vector<TAlarmEvent>& events) {
            if (minute > 48 * 60) return false;
            const int64_t at = kNow - (48 * 60 - minute) * kMinute;
            outcome = minute == 48 * 60 - 20 ? TPollOutcome{-1, false, "<b>Read Timeout</b>", at, 10}
                                             : TPollOutcome{200, true, "", at, 10};
            reading = Reading(minute);
            events.clear();
            if (minute == 48 * 60 - 30)
                events.push_back(TAlarmEvent{"Temp1High", true,
                                             "Quorvane: Temp 1 above 35 \xC2\xB0"
                                             "C",
                                             "x", at});
            ++minute;
            return true;
        });
        rules_.Readings[0].High = TAlarmLimit{35, "35"};
    }

    std::unique_ptr<THistoryWindow> Open(const std::string& settingsFile = std::string()) {
        auto window = std::make_unique<THistoryWindow>(settingsFile);
        window->SetClock([] { return kNow; });
        window->SetLimitsSource([this] { return &rules_; });
        window->SetStoreSource([this] { return store_.get(); });
        window->resize(1200, 700);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents();
        return window;
    }

    static QPoint At(const THistoryChart& chart, double share) {
        const double x = chart.PlotLeft() + share * (chart.PlotRight() - chart.PlotLeft());
        return QPoint(static_cast<int>(x), static_cast<int>(chart.Lanes().front().Plot.center().y()));
    }

    std::unique_ptr<THistoryStore> store_;
    TAlarmRules rules_;
};

TEST_F(HistoryWindowTest, OpensFromThePageAndZoomsPansAndGoesBackByMouseAndKeys) {
    THistoryPage page;
    page.SetStoreSource([this] { return store_.get(); });
    page.SetClock([] { return kNow; });
    page.resize(457, 207);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    page.WindowButton->click();
    THistoryWindow* window = page.Window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvane History"));
    EXPECT_TRUE(window->isWindow());
    EXPECT_GT(window->maximumWidth(), 4000) << "it can grow";
    window->showMaximized();
    window->showNormal();
    window->resize(1200, 700);
    QApplication::processEvents();

    THistoryChart& chart = *window->Chart;
    EXPECT_EQ(chart.FromMs(), kNow + 1 - kHour);
    EXPECT_TRUE(window->LiveButton->isChecked());

    // Drag from a quarter to a half of the width: that stretch, and no longer live.
    const int64_t quarter = chart.TimeAt(At(chart, 0.25).x()), half = chart.TimeAt(At(chart, 0.5).x());
    QTest::mousePress(&chart, Qt::LeftButton, {}, At(chart, 0.25));
    QTest::mouseMove(&chart, At(chart, 0.4));
    QTest::mouseMove(&chart, At(chart, 0.5));
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, At(chart, 0.5));
    EXPECT_EQ(chart.FromMs(), quarter);
    EXPECT_EQ(chart.ToMs(), half);
    EXPECT_FALSE(window->LiveButton->isChecked());
    const THistorySpan dragged{chart.FromMs(), chart.ToMs()};

    // The wheel zooms in around the pointer: the moment under it stays under it.
    const QPoint pointer = At(chart, 0.3);
    const int64_t under = chart.TimeAt(pointer.x());
    QWheelEvent wheel(pointer, chart.mapToGlobal(pointer), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&chart, &wheel);
    EXPECT_LT(chart.ToMs() - chart.FromMs(), dragged.Length());
    EXPECT_NEAR(static_cast<double>(chart.TimeAt(pointer.x())), static_cast<double>(under), 1000.0);
    const THistorySpan wheeled{chart.FromMs(), chart.ToMs()};

    chart.setFocus();
    QTest::keyClick(&chart, Qt::Key_Left);
    EXPECT_NEAR(static_cast<double>(chart.FromMs()), static_cast<double>(wheeled.FromMs - wheeled.Length() / 10), 1.0);
    // Shift and a drag to the right pans back in time by what was dragged.
    QTest::mousePress(&chart, Qt::LeftButton, Qt::ShiftModifier, At(chart, 0.5));
    QTest::mouseMove(&chart, At(chart, 0.6));
    QTest::mouseRelease(&chart, Qt::LeftButton, Qt::ShiftModifier, At(chart, 0.6));
    EXPECT_LT(chart.FromMs(), wheeled.FromMs - wheeled.Length() / 10);

    QTest::keyClick(&chart, Qt::Key_Backspace);
    QTest::keyClick(&chart, Qt::Key_Backspace);
    EXPECT_EQ((THistorySpan{chart.FromMs(), chart.ToMs()}), wheeled);
    window->BackButton->click();
    EXPECT_EQ((THistorySpan{chart.FromMs(), chart.ToMs()}), dragged);
    QTest::keyClick(&chart, Qt::Key_Home);
    EXPECT_EQ(chart.FromMs(), kNow + 1 - kHour);
    EXPECT_TRUE(window->LiveButton->isChecked());

    // Any stretch by the two boxes; the list's ranges include five and fifteen minutes.
    window->FromEdit->setDateTime(QDateTime::fromMSecsSinceEpoch(kNow - 30 * kHour));
    window->ToEdit->setDateTime(QDateTime::fromMSecsSinceEpoch(kNow - 20 * kHour));
    window->ShowButton->click();
    EXPECT_EQ((THistorySpan{chart.FromMs(), chart.ToMs()}), (THistorySpan{kNow - 30 * kHour, kNow - 20 * kHour}));
    window->RangeChoice->setCurrentIndex(0);
    emit window->RangeChoice->activated(0);
    EXPECT_EQ(chart.ToMs() - chart.FromMs(), 5 * kMinute);
}

TEST_F(HistoryWindowTest, CursorReadsTheNearestPollAsPlainTextAndStaysWhilePollsCome) {
    auto window = Open();
    THistoryChart& chart = *window->Chart;
    // The failed poll is 20 minutes before the end of the last hour shown.
    const QPoint failed(static_cast<int>(std::lround(chart.XOf(kNow - 20 * kMinute))), At(chart, 0).y());
    QTest::mouseMove(&chart, failed);
    ASSERT_TRUE(chart.CursorAt());
    EXPECT_TRUE(chart.Readout().join('\n').contains(QStringLiteral("It failed: <b>Read Timeout</b>")))
        << chart.Readout().join('\n').toStdString();
    EXPECT_EQ(window->ReadoutLabel->textFormat(), Qt::PlainText);

    const QPoint good(static_cast<int>(std::lround(chart.XOf(kNow - 10 * kMinute))), At(chart, 0).y());
    QTest::mouseMove(&chart, good);
    const QString expected = QStringLiteral("Temp 1: %1.5 \u00B0C").arg(31 + (48 * 60 - 10) % 7);
    EXPECT_TRUE(chart.Readout().contains(expected)) << chart.Readout().join('\n').toStdString();

    store_->Record(TPollOutcome{200, true, "", kNow + kMinute, 10}, Reading(0));
    window->SetClock([] { return kNow + kMinute; });
    window->PollRecorded();
    EXPECT_TRUE(chart.Readout().contains(expected)) << "the reading stays while polls come";
    EXPECT_EQ(chart.FromMs(), kNow + kMinute + 1 - kHour) << "a live view follows the poll";

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&chart, &leave);
    EXPECT_TRUE(chart.Readout().isEmpty());
}

TEST_F(HistoryWindowTest, LegendAndDescriptionGiveTheStoresStatisticsOfWhatIsShown) {
    auto window = Open();
    THistoryChart& chart = *window->Chart;
    window->GroupChecks[1]->click();  // fan speeds too
    QApplication::processEvents();
    ASSERT_EQ(chart.Lanes().size(), 2u);
    EXPECT_GE(chart.Lanes()[1].Axis.Low, 0.0) << "no negative fan speeds";
    ASSERT_EQ(chart.Lanes()[0].Limits.size(), 1u) << "the Temp 1 limit as a dashed line";

    const std::vector<THistoryStatistics> expected =
        store_->Statistics({kHistoryTempField}, chart.FromMs(), chart.ToMs());
    QTreeWidgetItem* temp1 = window->Legend->topLevelItem(0)->child(0);
    ASSERT_EQ(temp1->text(0), QStringLiteral("Temp 1"));
    const QStringList texts = HistoryStatisticTexts({kHistoryTempField, expected[0]});
    for (int column = 0; column < 4; ++column) EXPECT_EQ(temp1->text(column + 1), texts[column]);
    EXPECT_TRUE(texts[0].endsWith(QStringLiteral(" \u00B0C")));
    const QString description = chart.accessibleDescription();
    EXPECT_TRUE(description.startsWith(QStringLiteral("Temperatures, Fan speeds from "))) << description.toStdString();
    EXPECT_TRUE(description.contains(HistoryStatisticText({kHistoryTempField, expected[0]})))
        << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral("Fan 3: minimum")));

    // A series switched off in the legend leaves the chart, the statistics and the description.
    window->Legend->topLevelItem(0)->child(1)->setCheckState(0, Qt::Unchecked);
    QApplication::processEvents();
    EXPECT_FALSE(chart.SeriesVisible(kHistoryTempField + 1));
    EXPECT_FALSE(chart.accessibleDescription().contains(QStringLiteral("Temp 2")));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&chart);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Chart);
    EXPECT_EQ(accessible->text(QAccessible::Description), chart.accessibleDescription());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(window.get())->role(), QAccessible::Window)
        << "a window of its own, announced as one";
}

// The keys are the chart legend's: a click on the first key along the header hides Temp 1
// (off the chart and out of the legend beside it), a second click shows it again.
TEST_F(HistoryWindowTest, KeyInTheChartHidesAndShowsItsSeries) {
    auto window = Open();
    THistoryChart& chart = *window->Chart;
    const THistoryChart::TLane& lane = chart.Lanes().front();
    std::optional<QPoint> key;
    for (int x = static_cast<int>(lane.Header.left()); !key && x < lane.Header.right(); x += 3) {
        const QPoint at(x, static_cast<int>(lane.Header.center().y()));
        QTest::mouseClick(&chart, Qt::LeftButton, {}, at);
        for (int field = kHistoryTempField; field < kHistoryTempField + 3; ++field)
            if (!chart.SeriesVisible(field)) {
                EXPECT_EQ(field, kHistoryTempField) << "the keys in their order";
                key = at;
            }
    }
    ASSERT_TRUE(key) << "no key along the header";
    EXPECT_TRUE(chart.Lanes().front().Series[0].Columns.empty());
    EXPECT_FALSE(chart.Lanes().front().Series[1].Columns.empty());
    EXPECT_EQ(window->Legend->topLevelItem(0)->child(0)->checkState(0), Qt::Unchecked);
    QTest::mouseClick(&chart, Qt::LeftButton, {}, *key);
    EXPECT_TRUE(chart.SeriesVisible(kHistoryTempField));
    EXPECT_FALSE(chart.Lanes().front().Series[0].Columns.empty());
}

TEST_F(HistoryWindowTest, EventListCentresTheChartAndBothExportsWriteTheStretchShown) {
    auto window = Open();
    QApplication::processEvents();
    ASSERT_EQ(window->EventList->topLevelItemCount(), 2);
    QTreeWidgetItem* alarm = window->EventList->topLevelItem(0);
    EXPECT_EQ(alarm->text(1), QStringLiteral("Temp 1"));
    EXPECT_EQ(alarm->text(2), QStringLiteral("Start"));
    EXPECT_EQ(alarm->text(3), QStringLiteral("%1.5 \u00B0C").arg(31 + (48 * 60 - 30) % 7));
    EXPECT_EQ(window->EventList->topLevelItem(1)->text(3), QStringLiteral("<b>Read Timeout</b>"));

    window->Chart->setFocus();
    QTest::keyClick(window->Chart, Qt::Key_Plus);  // half an hour around the middle
    const int64_t length = window->Chart->ToMs() - window->Chart->FromMs();
    window->EventList->setCurrentItem(alarm);
    emit window->EventList->itemActivated(alarm, 0);
    EXPECT_EQ(window->Chart->FromMs() + length / 2, kNow - 30 * kMinute);
    EXPECT_EQ(window->Chart->CursorAt(), kNow - 30 * kMinute);

    const std::string polls = directory_.File("polls.csv"), events = directory_.File("events.csv");
    ASSERT_TRUE(window->ExportCsv(QString::fromStdString(polls)));
    ASSERT_TRUE(window->ExportEvents(QString::fromStdString(events)));
    const std::string pollText = testing::ReadFile(polls);
    EXPECT_EQ(std::count(pollText.begin(), pollText.end(), '\n'), 1 + 30) << "a poll a minute for half an hour";
    const std::string eventText = testing::ReadFile(events);
    EXPECT_NE(eventText.find(",Temp1,Alarm start,"), std::string::npos) << eventText;
    EXPECT_NE(eventText.find(",,Failed poll,<b>Read Timeout</b>,"), std::string::npos) << eventText;
}

// A program that never opened the window writes no section for it; opening and closing it
// unchanged writes none either; what the user changed comes back with the next window.
TEST_F(HistoryWindowTest, SettingsSectionIsWrittenOnlyWhenSomethingChanged) {
    const std::string ini = std::filesystem::read_symlink("/proc/self/exe").stem().string() + ".ini";
    { TForm1 form; }
    const std::string untouched = testing::ReadFile(ini);
    EXPECT_EQ(untouched.find("HistoryWindow"), std::string::npos);
    {
        TForm1 form;
        form.HistoryPage->OpenWindow();
        form.HistoryPage->Window()->close();
    }
    EXPECT_EQ(testing::ReadFile(ini), untouched);

    auto window = Open(ini);
    window->GroupChecks[2]->click();
    window->RangeChoice->setCurrentIndex(3);
    emit window->RangeChoice->activated(3);
    window->resize(1300, 760);
    QApplication::processEvents();
    window->close();
    const std::string written = testing::ReadFile(ini);
    EXPECT_EQ(written.substr(0, untouched.size()), untouched) << "the seven keys stay as they were";
    EXPECT_NE(
        written.find("[HistoryWindow]\r\nWidth=1300\r\nHeight=760\r\nMaximized=0\r\nGroups=Temperatures,Voltages\r\n"
                     "Range=24h\r\n"),
        std::string::npos)
        << written;

    auto again = Open(ini);
    EXPECT_TRUE(again->GroupChecks[2]->isChecked());
    EXPECT_EQ(again->RangeChoice->currentIndex(), 3);
    EXPECT_EQ(again->Chart->Lanes().size(), 2u);
    EXPECT_EQ(again->Chart->ToMs() - again->Chart->FromMs(), 24 * kHour);
}

}  // namespace
}  // namespace quorvane
