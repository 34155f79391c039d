#include "history/history_view.h"

#include <algorithm>
#include <cmath>

namespace quorvane {

THistorySpan THistoryView::LiveSpan(int64_t lengthMs, const THistoryBounds& bounds) const {
    // The newest poll starts at most at now: the end is just after it.
    const int64_t end = bounds.NowMs + 1;
    if (lengthMs == kEverything) return {std::min(bounds.OldestMs, end - kShortestMs), end};
    return {end - lengthMs, end};
}

THistorySpan THistoryView::Fit(THistorySpan span, const THistoryBounds& bounds) const {
    const int64_t earliest = std::min(bounds.OldestMs, shown_.FromMs);
    const int64_t latest = std::max(bounds.NowMs + 1, shown_.ToMs);
    const int64_t length = std::clamp(span.Length(), kShortestMs, std::max(latest - earliest, kShortestMs));
    if (span.Length() != length) {
        const int64_t middle = span.FromMs + span.Length() / 2;
        span = {middle - length / 2, middle - length / 2 + length};
    }
    if (span.ToMs > latest) span = {latest - length, latest};
    if (span.FromMs < earliest) span = {earliest, earliest + length};
    return span;
}

void THistoryView::Change(const TState& next, bool merge) {
    if (next.Span == shown_ && next.Live == live_ && next.Everything == everything_) return;
    // A gesture (the turns of one wheel movement, a drag) is one step back, not many.
    if (!(merge && lastMerged_) && started_) {
        back_.push_back(TState{shown_, live_, everything_});
        if (back_.size() > kBackSteps) back_.pop_front();
    }
    lastMerged_ = merge;
    started_ = true;
    shown_ = next.Span;
    live_ = next.Live;
    everything_ = next.Everything;
}

void THistoryView::Choose(int64_t lengthMs, const THistoryBounds& bounds) {
    chosen_ = lengthMs;
    Change(TState{LiveSpan(lengthMs, bounds), true, lengthMs == kEverything}, false);
}

void THistoryView::Show(THistorySpan span, const THistoryBounds& bounds, bool merge) {
    if (span.ToMs < span.FromMs) std::swap(span.FromMs, span.ToMs);
    Change(TState{Fit(span, bounds), false, false}, merge);
}

void THistoryView::Zoom(double factor, int64_t anchorMs, const THistoryBounds& bounds, bool merge) {
    const double length = static_cast<double>(shown_.Length());
    const double share = static_cast<double>(anchorMs - shown_.FromMs) / length;
    const auto newLength = std::max(kShortestMs, static_cast<int64_t>(std::llround(length * factor)));
    const auto from = anchorMs - static_cast<int64_t>(std::llround(share * static_cast<double>(newLength)));
    Show({from, from + newLength}, bounds, merge);
}

void THistoryView::Pan(double share, const THistoryBounds& bounds, bool merge) {
    PanBy(static_cast<int64_t>(std::llround(share * static_cast<double>(shown_.Length()))), bounds, merge);
}

void THistoryView::PanBy(int64_t deltaMs, const THistoryBounds& bounds, bool merge) {
    Show({shown_.FromMs + deltaMs, shown_.ToMs + deltaMs}, bounds, merge);
}

void THistoryView::Centre(int64_t atMs, const THistoryBounds& bounds) {
    const int64_t length = shown_.Length();
    Show({atMs - length / 2, atMs - length / 2 + length}, bounds);
}

void THistoryView::Home(const THistoryBounds& bounds) {
    Change(TState{LiveSpan(chosen_, bounds), true, chosen_ == kEverything}, false);
}

void THistoryView::SetLive(bool live, const THistoryBounds& bounds) {
    if (live == live_) return;
    // Following now keeps the length on screen.
    Change(TState{live ? LiveSpan(shown_.Length(), bounds) : shown_, live, false}, false);
}

bool THistoryView::Back(const THistoryBounds& bounds) {
    if (back_.empty()) return false;
    const TState previous = back_.back();
    back_.pop_back();
    lastMerged_ = false;
    shown_ = previous.Span;
    live_ = previous.Live;
    everything_ = previous.Everything;
    Follow(bounds);
    return true;
}

void THistoryView::Follow(const THistoryBounds& bounds) {
    if (live_) shown_ = LiveSpan(everything_ ? kEverything : shown_.Length(), bounds);
}

}  // namespace quorvane
