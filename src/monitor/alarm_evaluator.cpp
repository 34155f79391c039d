#include "monitor/alarm_evaluator.h"

#include <algorithm>
#include <ctime>
#include <utility>


namespace quorvane {

namespace {

const char* const kTitlePrefix = "Quorvane: ";

std::string LocalTime(int64_t atMs) {
    const std::time_t seconds = static_cast<std::time_t>(atMs / 1000);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    char buffer[16];
    std::strftime(buffer, sizeof buffer, "%H:%M:%S", &parts);
    return buffer;
}

TAlarmEvent MakeEvent(std::string key, bool started, const std::string& title, const std::string& what,
                      const TPollOutcome& outcome, const std::string& unitAddress) {
    TAlarmEvent event;
    event.Key = std::move(key);
    event.Started = started;
    event.Title = kTitlePrefix + title;
    event.Text = what + " at " + LocalTime(outcome.StartedAtMs) + ", unit " + unitAddress;
    event.AtMs = outcome.StartedAtMs;
    return event;
}

const TReading& AnalogueReading(int row) { return Readings().at(static_cast<size_t>(row)); }
const TReading& InputReading(int index) { return ReadingOf(TReadingGroup::Input, index + 1); }

std::string LimitTitle(int row, bool high, const TAlarmLimit& limit) {
    const TReading& reading = AnalogueReading(row);
    return reading.Label() + (high ? " above " : " below ") + limit.Text + " " + reading.Group->Unit;
}

}  // namespace

TAlarmEvaluator::TAlarmEvaluator(TAlarmRules rules) : rules_(std::move(rules)) { lastInput_.fill(-1); }

void TAlarmEvaluator::SetRules(const TAlarmRules& rules) {
    for (size_t row = 0; row < rows_.size(); ++row) {
        if (!(rules.Readings[row] == rules_.Readings[row])) rows_[row] = RowState{};
    }
    for (size_t index = 0; index < inputActive_.size(); ++index) {
        if (rules.Inputs[index] != rules_.Inputs[index]) inputActive_[index] = false;
    }
    if (!rules.SilenceEnabled || rules.SilencePolls != rules_.SilencePolls) silent_ = false;
    rules_ = rules;
}

std::vector<TAlarmEvent> TAlarmEvaluator::Evaluate(const TPollOutcome& outcome, const TReadingRecord& reading,
                                                   const TReadingSet& current, const std::string& unitAddress) {
    std::vector<TAlarmEvent> events;
    current_ = current;
    if (!outcome.Succeeded) {
        if (failuresInRow_ < INT32_MAX) ++failuresInRow_;
        if (rules_.SilenceEnabled && !silent_ && failuresInRow_ >= rules_.SilencePolls) {
            silent_ = true;
            const std::string reason = outcome.FailureReason.empty() ? "no answer" : outcome.FailureReason;
            events.push_back(MakeEvent("UnitSilent", true, "the unit does not answer",
                                       std::to_string(failuresInRow_) + " polls failed in a row (" + reason + ")",
                                       outcome, unitAddress));
        }
    } else {
        failuresInRow_ = 0;
        if (silent_) {
            silent_ = false;
            events.push_back(MakeEvent("UnitSilent", false, "the unit answers again", "The poll succeeded", outcome,
                                       unitAddress));
        }
    }
    for (int row = 0; row < kAnalogueReadingCount; ++row) {
        EvaluateReading(row, AnalogueReading(row).Of(reading), outcome, unitAddress, events);
    }
    for (int index = 0; index < kInputCount; ++index) {
        EvaluateInput(index, InputReading(index).Of(reading), outcome, unitAddress, events);
    }
    return events;
}

void TAlarmEvaluator::EvaluateReading(int row, const std::string& text, const TPollOutcome& outcome,
                                      const std::string& unitAddress, std::vector<TAlarmEvent>& events) {
    const TReadingLimits& limits = rules_.Readings[static_cast<size_t>(row)];
    RowState& state = rows_[static_cast<size_t>(row)];
    if (!limits.Watched()) return;
    const TReading& reading = AnalogueReading(row);
    // A reading this poll did not take, or that is no number, neither starts nor ends an
    // alarm, and breaks the run of polls a delayed alarm waits for.
    const std::optional<double> value =
        current_.test(static_cast<size_t>(reading.Index)) ? ReadingNumber(text) : std::nullopt;
    if (!value) {
        state.LowPolls = state.HighPolls = 0;
        return;
    }
    const std::string valueText = reading.Label() + " is " + text + " " + reading.Group->Unit;
    const std::string key = reading.Key();
    struct Side {
        const std::optional<TAlarmLimit>& limit;
        bool& active;
        int32_t& polls;
        bool high;
    };
    for (const Side side : {Side{limits.High, state.High, state.HighPolls, true},
                            Side{limits.Low, state.Low, state.LowPolls, false}}) {
        if (!side.limit) continue;
        const double limit = side.limit->Value;
        const double band = AlarmHysteresis(limit, text);
        const bool beyond = side.high ? *value > limit : *value < limit;
        const bool backInside = side.high ? *value <= limit - band : *value >= limit + band;
        const std::string eventKey = key + (side.high ? "High" : "Low");
        side.polls = beyond && !side.active ? std::min(side.polls + 1, TReadingLimits::kMaxDelay) : 0;
        if (!side.active && beyond && side.polls >= limits.Delay) {
            side.active = true;
            side.polls = 0;
            events.push_back(MakeEvent(eventKey, true, LimitTitle(row, side.high, *side.limit), valueText, outcome,
                                       unitAddress));
        } else if (side.active && backInside) {
            side.active = false;
            events.push_back(MakeEvent(eventKey, false, reading.Label() + " back to normal", valueText, outcome,
                                       unitAddress));
        }
    }
}

void TAlarmEvaluator::EvaluateInput(int index, const std::string& text, const TPollOutcome& outcome,
                                    const std::string& unitAddress, std::vector<TAlarmEvent>& events) {
    if (!current_.test(static_cast<size_t>(InputReading(index).Index))) return;
    const std::optional<bool> state = InputOn(text);
    if (!state) return;  // an input in no known state neither starts nor ends an alarm
    const int8_t now = *state ? 1 : 0;
    const int8_t before = lastInput_[static_cast<size_t>(index)];
    lastInput_[static_cast<size_t>(index)] = now;
    const std::string label = InputReading(index).Label();
    const std::string key = InputReading(index).Key();
    const std::string what = label + " is " + (now == 1 ? "on" : "off");
    bool& active = inputActive_[static_cast<size_t>(index)];
    switch (rules_.Inputs[static_cast<size_t>(index)]) {
        case TInputWatch::None:
            return;
        case TInputWatch::Change:
            // A change is a moment, not a state: it has no end.
            if (before >= 0 && before != now) {
                events.push_back(MakeEvent(key + "Change", true, label + (now == 1 ? " turned on" : " turned off"),
                                           what, outcome, unitAddress));
            }
            return;
        case TInputWatch::On:
        case TInputWatch::Off: {
            const bool on = rules_.Inputs[static_cast<size_t>(index)] == TInputWatch::On;
            const bool condition = (now == 1) == on;
            const std::string eventKey = key + (on ? "On" : "Off");
            if (condition != active) {
                active = condition;
                events.push_back(MakeEvent(eventKey, condition, condition ? what : label + " back to normal", what,
                                           outcome, unitAddress));
            }
            return;
        }
    }
}

bool TAlarmEvaluator::ReadingAlarmed(int row) const {
    const RowState& state = rows_.at(static_cast<size_t>(row));
    return (state.Low || state.High) && current_.test(static_cast<size_t>(AnalogueReading(row).Index));
}

bool TAlarmEvaluator::AnyActive() const { return !ActiveDescriptions().empty(); }

std::vector<std::string> TAlarmEvaluator::ActiveDescriptions() const {
    std::vector<std::string> lines;
    for (TActive& active : ActiveAlarms()) lines.push_back(std::move(active.Description));
    return lines;
}

std::vector<TAlarmEvaluator::TActive> TAlarmEvaluator::ActiveAlarms() const {
    std::vector<TActive> alarms;
    if (silent_) alarms.push_back({-1, "the unit does not answer"});
    for (int row = 0; row < kAnalogueReadingCount; ++row) {
        if (!ReadingAlarmed(row)) continue;
        const RowState& state = rows_[static_cast<size_t>(row)];
        const TReadingLimits& limits = rules_.Readings[static_cast<size_t>(row)];
        const int reading = AnalogueReading(row).Index;
        if (state.High && limits.High) alarms.push_back({reading, LimitTitle(row, true, *limits.High)});
        if (state.Low && limits.Low) alarms.push_back({reading, LimitTitle(row, false, *limits.Low)});
    }
    for (int index = 0; index < kInputCount; ++index) {
        const TReading& input = InputReading(index);
        if (inputActive_[static_cast<size_t>(index)] && current_.test(static_cast<size_t>(input.Index))) {
            const bool on = rules_.Inputs[static_cast<size_t>(index)] == TInputWatch::On;
            alarms.push_back({input.Index, input.Label() + (on ? " is on" : " is off")});
        }
    }
    return alarms;
}

}  // namespace quorvane
