#include "history/history_view.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

constexpr int64_t kMinute = 60'000;
constexpr int64_t kHour = 60 * kMinute;
constexpr int64_t kDay = 24 * kHour;

class HistoryViewTest : public ::testing::Test {
protected:
    THistoryBounds bounds_{1'765'000'000'000 - 10 * kDay, 1'765'000'000'000};
    THistoryView view_;
    int64_t End() const { return bounds_.NowMs + 1; }
};

// Live follows now; zoom and pan leave it and keep the pointer's moment in place; each step
// is taken back in turn, and going back to a live view follows now again.
TEST_F(HistoryViewTest, ZoomPanBackAndLive) {
    view_.Choose(kHour, bounds_);
    EXPECT_EQ(view_.Shown(), (THistorySpan{End() - kHour, End()}));
    EXPECT_TRUE(view_.Live());
    bounds_.NowMs += kMinute;
    view_.Follow(bounds_);
    EXPECT_EQ(view_.Shown(), (THistorySpan{End() - kHour, End()}));

    const THistorySpan hour = view_.Shown();
    const int64_t anchor = hour.FromMs + 45 * kMinute;
    view_.Zoom(0.5, anchor, bounds_);
    EXPECT_FALSE(view_.Live());
    EXPECT_EQ(view_.Shown(), (THistorySpan{anchor - 45 * kMinute / 2, anchor + 15 * kMinute / 2}));
    const THistorySpan zoomed = view_.Shown();
    bounds_.NowMs += kMinute;
    view_.Follow(bounds_);
    EXPECT_EQ(view_.Shown(), zoomed) << "a zoomed view stays put";

    view_.Pan(-0.1, bounds_);
    EXPECT_EQ(view_.Shown(), (THistorySpan{zoomed.FromMs - 3 * kMinute, zoomed.ToMs - 3 * kMinute}));
    const THistorySpan panned = view_.Shown();
    view_.PanBy(kDay, bounds_);
    EXPECT_EQ(view_.Shown(), (THistorySpan{End() - 30 * kMinute, End()})) << "no panning into the future";

    EXPECT_TRUE(view_.Back(bounds_));
    EXPECT_EQ(view_.Shown(), panned);
    EXPECT_TRUE(view_.Back(bounds_));
    EXPECT_EQ(view_.Shown(), zoomed);
    EXPECT_TRUE(view_.Back(bounds_));
    EXPECT_TRUE(view_.Live());
    EXPECT_EQ(view_.Shown(), (THistorySpan{End() - kHour, End()})) << "back to live is back to now";
    EXPECT_FALSE(view_.CanGoBack());
    EXPECT_FALSE(view_.Back(bounds_));
}

TEST_F(HistoryViewTest, AGestureIsOneStepAndZoomStaysWithinWhatIsKept) {
    view_.Choose(kHour, bounds_);
    const THistorySpan start = view_.Shown();
    for (int turn = 0; turn < 3; ++turn) view_.Zoom(0.8, start.FromMs, bounds_, true);
    EXPECT_EQ(view_.Shown().Length(), kHour * 512 / 1000);
    EXPECT_EQ(view_.Shown().FromMs, start.FromMs);
    view_.Back(bounds_);
    EXPECT_EQ(view_.Shown(), start) << "three turns of the wheel, one step back";

    view_.Show({start.FromMs, start.FromMs + 1000}, bounds_);
    EXPECT_EQ(view_.Shown().Length(), THistoryView::kShortestMs);
    view_.Zoom(1e6, start.FromMs, bounds_);
    EXPECT_EQ(view_.Shown(), (THistorySpan{bounds_.OldestMs, End()})) << "zooming out stops at everything";

    view_.SetLive(true, bounds_);
    EXPECT_TRUE(view_.Live());
    view_.Centre(bounds_.OldestMs + kDay, bounds_);
    EXPECT_FALSE(view_.Live());
    view_.Home(bounds_);
    EXPECT_EQ(view_.Shown(), start);
    EXPECT_TRUE(view_.Live());

    view_.Choose(THistoryView::kEverything, bounds_);
    bounds_.NowMs += kHour;
    bounds_.OldestMs += kHour;  // the oldest polls pruned
    view_.Follow(bounds_);
    EXPECT_EQ(view_.Shown(), (THistorySpan{bounds_.OldestMs, End()}));
}

}  // namespace
}  // namespace quorvane
