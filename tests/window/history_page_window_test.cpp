#include "window/history_page.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <memory>

#include "history/history_store.h"
#include "window/form1.h"
#include "window/history_chart.h"
#include "monitor/sensor_poll.h"
#include "window_unit_test.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double Highest(const THistoryChart& chart) {
    double highest = -1e300;
    for (const auto& column : chart.Lanes().at(0).Series.at(0).Columns) highest = std::max(highest, column.Max);
    return highest;
}

// Whether the chart as drawn has a pixel that `wanted` takes within `box`.
bool Drawn(THistoryChart& chart, const QRectF& box, const std::function<bool(const QColor&)>& wanted) {
    const QImage image = chart.grab().toImage();
    const QRect area = box.toAlignedRect().intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (wanted(image.pixelColor(x, y))) return true;
    return false;
}

TReadingRecord Temperatures(const std::string& temp1) {
    TReadingRecord reading;
    reading.Temp1 = temp1;
    reading.Temp2 = "20";
    reading.Temp3 = "20";
    return reading;
}

class HistoryPageTest : public testing::WindowUnitTest {};

// The window keeps every poll beside its settings file before it shows it, and the History
// page, once shown, follows the polls.
TEST_F(HistoryPageTest, WindowKeepsEachPollBeforeShowingItAndThePageFollows) {
    const std::string historyFile =
        std::filesystem::read_symlink("/proc/self/exe").stem().string() + ".history.sqlite3";
    auto form = std::make_unique<TForm1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_EQ(form->PageControl1->tabText(1), QStringLiteral("History"));

    int polls = 0;
    form->SetPollFunction([&](const TUnitTarget&) {
        ++polls;
        if (polls == 1) return testing::FailedPoll("Connection refused (10061)", NowMs());
        return testing::AnsweredPoll(Temperatures(std::to_string(30 + polls)), NowMs());
    });
    std::vector<int64_t> keptWhenShown;
    QObject::connect(form->MemoInterval, &QLineEdit::textChanged, [&] {
        if (!form->MemoInterval->text().isEmpty()) keptWhenShown.push_back(THistoryStore(historyFile).Count());
    });
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_EQ(keptWhenShown, (std::vector<int64_t>{1, 2}));

    form->PageControl1->setCurrentIndex(1);
    QTest::qWait(20);
    THistoryPage& page = *form->HistoryPage;
    ASSERT_EQ(page.Chart->Lanes().at(0).Series.size(), 3u);
    EXPECT_EQ(Highest(*page.Chart), 32.0) << "the failed poll draws no value";
    ASSERT_EQ(page.Chart->Marks().size(), 1u);
    EXPECT_TRUE(page.Chart->Marks()[0].Failure);
    const double markX = page.Chart->XOf(page.Chart->Marks()[0].AtMs);
    EXPECT_TRUE(Drawn(*page.Chart,
                      QRectF(QPointF(markX - 3, page.Chart->Lanes()[0].Plot.bottom()),
                             QPointF(markX + 3, page.Chart->height())),
                      [](const QColor& c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; }))
        << "a red mark below the lane";
    form->Timer1Timer();
    EXPECT_EQ(Highest(*page.Chart), 33.0);
    form->Timer1Timer();
    EXPECT_EQ(Highest(*page.Chart), 34.0);
    form->Timer1.SetEnabled(false);
}

TEST_F(HistoryPageTest, DrawsSpikesAmongManyPollsAndTheRangeSetsTheAxis) {
    THistoryStore store(directory_.File("h.sqlite3"));
    const int64_t now = 1'765'000'000'000;
    store.Record(TPollOutcome{200, true, "", now - 20 * 86'400'000LL, 5}, Temperatures("18"));
    for (int i = 0; i < 3000; ++i)  // one poll a second for the last 50 minutes, one spike among them
        store.Record(TPollOutcome{200, true, "", now - 3'000'000 + i * 1000, 5}, Temperatures(i == 1234 ? "85.5" : "21"));
    THistoryPage page;
    page.resize(457, 207);
    page.SetStoreSource([&] { return &store; });
    page.SetClock([&] { return now; });
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));

    EXPECT_EQ(Highest(*page.Chart), 85.5);
    EXPECT_LT(page.Chart->Lanes()[0].Series[0].Columns.size(), 500u) << "one column per pixel at most";
    // And it is drawn: Temp 1's line reaches 85.5 at the spike.
    const THistoryChart::TLane& lane = page.Chart->Lanes()[0];
    const double spikeX = page.Chart->XOf(now - 3'000'000 + 1234 * 1000);
    const double spikeY =
        lane.Plot.bottom() - (85.5 - lane.Axis.Low) / (lane.Axis.High - lane.Axis.Low) * lane.Plot.height();
    EXPECT_TRUE(Drawn(*page.Chart, QRectF(spikeX - 3, spikeY - 2, 5, 4),
                      [&](const QColor& c) { return c == lane.Series[0].Colour; }));
    EXPECT_EQ(page.Chart->FromMs(), now + 1 - 3'600'000);
    // Round value ticks over the data, padded: 21 .. 85.5 on a small chart.
    const TValueTicks& axis = page.Chart->Lanes()[0].Axis;
    EXPECT_LE(axis.Low, 21.0);
    EXPECT_GE(axis.High, 85.5);
    page.RangeChoice->setCurrentIndex(THistoryPage::LastWeek);
    EXPECT_EQ(page.Chart->FromMs(), now + 1 - 7 * 86'400'000LL);
    EXPECT_EQ(Highest(*page.Chart), 85.5);
    page.RangeChoice->setCurrentIndex(THistoryPage::Everything);
    EXPECT_EQ(page.Chart->FromMs(), now - 20 * 86'400'000LL);
    page.GroupChoice->setCurrentIndex(THistoryPage::Inputs);
    EXPECT_EQ(page.Chart->Lanes()[0].Series.size(), 16u);
}

}  // namespace
}  // namespace quorvane
