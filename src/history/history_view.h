#pragma once

#include <cstdint>
#include <cstddef>
#include <deque>

namespace quorvane {

// A stretch of time, [FromMs, ToMs) in milliseconds since 1970 UTC.
struct THistorySpan {
    int64_t FromMs = 0;
    int64_t ToMs = 1;
    int64_t Length() const { return ToMs - FromMs; }
    bool operator==(const THistorySpan&) const = default;
};

// What there is to see: the oldest poll kept and the present moment.
struct THistoryBounds {
    int64_t OldestMs = 0;
    int64_t NowMs = 0;
};

// Which stretch of the history a chart shows and how it got there. A range chosen from the
// list (a length ending now, or everything kept) is followed live as time goes on; any zoom
// or pan leaves live mode. Every change of view can be taken back, one step at a time.
class THistoryView {
public:
    static constexpr int64_t kEverything = 0;       // a chosen length: all that is kept
    static constexpr int64_t kShortestMs = 10'000;  // no zoom goes below ten seconds
    static constexpr size_t kBackSteps = 100;

    // Chooses a length ending now (or kEverything) and follows it live.
    void Choose(int64_t lengthMs, const THistoryBounds& bounds);
    // Shows exactly this stretch (typed, dragged out or centred on), not live.
    void Show(THistorySpan span, const THistoryBounds& bounds, bool merge = false);
    // Zooms by `factor` (below 1 in, above 1 out) keeping `anchorMs` where it is on screen.
    void Zoom(double factor, int64_t anchorMs, const THistoryBounds& bounds, bool merge = false);
    // Moves by a share of the length shown (negative: back in time).
    void Pan(double share, const THistoryBounds& bounds, bool merge = false);
    void PanBy(int64_t deltaMs, const THistoryBounds& bounds, bool merge = false);
    // Centres the view on a moment, keeping its length.
    void Centre(int64_t atMs, const THistoryBounds& bounds);
    // Back to the chosen range, live again when it is one of the list.
    void Home(const THistoryBounds& bounds);
    // Follows now again with the length shown (true), or stays where it is (false).
    void SetLive(bool live, const THistoryBounds& bounds);
    // The previous view; false when there is none.
    bool Back(const THistoryBounds& bounds);
    // Time has passed or polls have come: a live view moves with them.
    void Follow(const THistoryBounds& bounds);

    const THistorySpan& Shown() const { return shown_; }
    bool Live() const { return live_; }
    bool CanGoBack() const { return !back_.empty(); }

private:
    struct TState {
        THistorySpan Span;
        bool Live = false;
        bool Everything = false;  // all that is kept, growing with it
    };
    THistorySpan LiveSpan(int64_t lengthMs, const THistoryBounds& bounds) const;
    // Keeps a zoomed or panned stretch at a sensible length and inside what there is to see
    // (or what was already shown, when that is more).
    THistorySpan Fit(THistorySpan span, const THistoryBounds& bounds) const;
    void Change(const TState& next, bool merge);

    int64_t chosen_ = 3'600'000;
    THistorySpan shown_{0, 3'600'000};
    bool live_ = true;
    bool everything_ = false;
    bool lastMerged_ = false;
    bool started_ = false;  // the first range chosen is no step to go back to
    std::deque<TState> back_;
};

}  // namespace quorvane
