#include "history/history_axes.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace quorvane {

namespace {

constexpr int64_t kSecondMs = 1000;
constexpr int64_t kMinuteMs = 60 * kSecondMs;
constexpr int64_t kHourMs = 60 * kMinuteMs;
constexpr int64_t kDayMs = 24 * kHourMs;

struct TStep {
    TTimeUnit Unit;
    int32_t Count;
    int64_t ShortestMs;  // the shortest gap between two of its ticks: a short month, a day of 23 hours
};

constexpr TStep Seconds(int32_t n) { return {TTimeUnit::Second, n, n * kSecondMs}; }
constexpr TStep Minutes(int32_t n) { return {TTimeUnit::Minute, n, n * kMinuteMs}; }
constexpr TStep Hours(int32_t n) { return {TTimeUnit::Hour, n, n * kHourMs}; }
constexpr TStep Days(int32_t n) { return {TTimeUnit::Day, n, n * 23 * kHourMs}; }
constexpr TStep Months(int32_t n) { return {TTimeUnit::Month, n, n * 28 * kDayMs}; }
constexpr TStep Years(int32_t n) { return {TTimeUnit::Year, n, n * 365 * kDayMs}; }

// Finest first; each unit's counts are the round ones of its kind.
constexpr TStep kSteps[] = {
    Seconds(1), Seconds(2), Seconds(5), Seconds(10), Seconds(15), Seconds(30),
    Minutes(1), Minutes(2), Minutes(5), Minutes(10), Minutes(15), Minutes(30),
    Hours(1), Hours(2), Hours(3), Hours(6), Hours(12),
    Days(1), Days(2), Days(5), Days(10),
    Months(1), Months(2), Months(3), Months(6),
    Years(1), Years(2), Years(5), Years(10), Years(20), Years(50), Years(100), Years(1000),
};

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

int64_t OffsetMs(const UtcOffsetFunction& offset, int64_t ms) { return int64_t{offset(ms)} * kMinuteMs; }

int64_t LocalDay(const UtcOffsetFunction& offset, int64_t ms) { return FloorDiv(ms + OffsetMs(offset, ms), kDayMs); }

// The moment the local clock shows `localMs`; nothing when it never does (skipped forward).
std::optional<int64_t> FromLocal(const UtcOffsetFunction& offset, int64_t localMs) {
    const int64_t guess = localMs - OffsetMs(offset, localMs);
    for (int64_t at : {localMs - OffsetMs(offset, guess), guess}) {
        if (at + OffsetMs(offset, at) == localMs) return at;
    }
    return std::nullopt;
}

year_month_day DateOf(int64_t localMs) { return year_month_day{sys_days{days{FloorDiv(localMs, kDayMs)}}}; }

int64_t MsOf(const year_month_day& date) { return int64_t{sys_days{date}.time_since_epoch().count()} * kDayMs; }

// Local midnights (and times within days) that start a step, from the step holding `fromLocal`
// on, in order, until one lies beyond `toLocal`.
void CalendarSteps(const TStep& step, int64_t fromLocal, int64_t toLocal, const std::function<void(int64_t)>& add) {
    const year_month_day first = DateOf(fromLocal);
    switch (step.Unit) {
        case TTimeUnit::Hour:
            for (int64_t day = MsOf(first); day <= toLocal; day += kDayMs)
                for (int32_t hour = 0; hour < 24; hour += step.Count) add(day + hour * kHourMs);
            return;
        case TTimeUnit::Day:
            for (int64_t day = MsOf(first); day <= toLocal; day += kDayMs) {
                const year_month_day date = DateOf(day);
                const auto dayOfMonth = static_cast<int32_t>(static_cast<unsigned>(date.day()));
                const auto monthDays = static_cast<int32_t>(static_cast<unsigned>(
                    std::chrono::year_month_day_last(date.year(), std::chrono::month_day_last(date.month())).day()));
                // The last step of a month is never shorter than the others: 1, 11, 21 but
                // not 31, which would crowd the next month's 1.
                if ((dayOfMonth - 1) % step.Count == 0 && dayOfMonth <= monthDays - step.Count + 1) add(day);
            }
            return;
        case TTimeUnit::Month: {
            std::chrono::year_month month = first.year() / first.month();
            for (; MsOf(month / 1) <= toLocal; month += std::chrono::months{1}) {
                if ((static_cast<unsigned>(month.month()) - 1) % static_cast<unsigned>(step.Count) == 0)
                    add(MsOf(month / 1));
            }
            return;
        }
        default:
            for (std::chrono::year year = first.year(); MsOf(year / 1 / 1) <= toLocal; ++year) {
                if (static_cast<int32_t>(year) % step.Count == 0) add(MsOf(year / 1 / 1));
            }
            return;
    }
}

}  // namespace

TTimeTicks TimeTicks(int64_t fromMs, int64_t toMs, double widthPx, const std::function<double(TTimeUnit)>& spacingPx,
                     const UtcOffsetFunction& offset) {
    TTimeTicks result;
    if (toMs <= fromMs || widthPx <= 0) return result;
    const double pixelsPerMs = widthPx / static_cast<double>(toMs - fromMs);
    const TStep* chosen = std::end(kSteps) - 1;
    for (const TStep& step : kSteps) {
        if (static_cast<double>(step.ShortestMs) * pixelsPerMs >= spacingPx(step.Unit)) {
            chosen = &step;
            break;
        }
    }
    result.Unit = chosen->Unit;
    result.Count = chosen->Count;
    int64_t previousDay = 0;
    auto add = [&](int64_t at) {
        if (at < fromMs || at > toMs || (!result.Ticks.empty() && at <= result.Ticks.back().AtMs)) return;
        const int64_t day = LocalDay(offset, at);
        result.Ticks.push_back(TTimeTick{at, result.Ticks.empty() || day != previousDay});
        previousDay = day;
    };
    if (chosen->Unit == TTimeUnit::Second || chosen->Unit == TTimeUnit::Minute) {
        // Every step up to half an hour divides the hour, and clocks move by whole or half
        // hours: a step aligned on local time stays aligned across a change of offset.
        const int64_t step = chosen->ShortestMs;
        const int64_t shift = OffsetMs(offset, fromMs);
        for (int64_t at = -FloorDiv(-(fromMs + shift), step) * step - shift; at <= toMs; at += step) add(at);
        return result;
    }
    const int64_t fromLocal = fromMs + OffsetMs(offset, fromMs);
    const int64_t toLocal = toMs + OffsetMs(offset, toMs);
    CalendarSteps(*chosen, fromLocal, toLocal, [&](int64_t local) {
        if (const std::optional<int64_t> at = FromLocal(offset, local)) add(*at);
    });
    return result;
}

TValueTicks ValueTicks(std::optional<double> low, std::optional<double> high, double heightPx, double spacingPx,
                       bool nonNegative) {
    double bottom = 0, top = 1;
    if (low && high && std::isfinite(*low) && std::isfinite(*high) && std::isfinite(*high - *low)) {
        const double least = std::min(*low, *high), most = std::max(*low, *high);
        const double spread = most - least;
        const double pad = spread > 0 ? spread / 20 : std::max(std::abs(most) / 50, 1.0);
        bottom = least - pad;
        top = most + pad;
        if (nonNegative && least >= 0) bottom = std::max(bottom, 0.0);
    }
    const double intervals = std::max(1.0, std::floor(heightPx / std::max(spacingPx, 1.0)));
    const auto exponent = static_cast<int32_t>(std::floor(std::log10((top - bottom) / intervals)));
    // n * multiple and a power of ten apart, so that 3 * 0.2 reads 0.6 and not 0.6000000000000001.
    const double power = std::pow(10.0, std::abs(exponent));
    auto value = [&](double n, double multiple) { return exponent < 0 ? n * multiple / power : n * multiple * power; };
    TValueTicks ticks;
    double first = 0, last = 0, multiple = 1;
    for (double candidate : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0}) {
        multiple = candidate;
        ticks.Step = value(1, multiple);
        first = std::floor(bottom / ticks.Step + 1e-9);
        last = std::ceil(top / ticks.Step - 1e-9);
        if (last - first <= intervals) break;
    }
    ticks.Low = value(first, multiple);
    ticks.High = value(last, multiple);
    ticks.Decimals = std::max(0, -static_cast<int32_t>(std::floor(std::log10(ticks.Step) + 1e-9)));
    for (double n = first; n <= last; ++n) ticks.Ticks.push_back(n == 0 ? 0.0 : value(n, multiple));
    return ticks;
}

}  // namespace quorvane
