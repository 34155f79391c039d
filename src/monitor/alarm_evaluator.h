#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "monitor/alarm_event.h"
#include "monitor/alarm_rules.h"
#include "monitor/poll_outcome.h"

namespace quorvane {

// Turns polls into alarm events: once when a condition starts and once when it ends. It holds
// which conditions are active between polls; the rules can change at any time.
class TAlarmEvaluator {
public:
    explicit TAlarmEvaluator(TAlarmRules rules = {});

    const TAlarmRules& Rules() const { return rules_; }
    // A row whose rule changes forgets its state without an event: its next poll decides
    // afresh against the new limits.
    void SetRules(const TAlarmRules& rules);

    // The events of one poll. Only the readings this poll took (`current`, by catalogue index)
    // are judged: one left over from an earlier poll neither starts nor ends an alarm, and a
    // poll that failed part way still judges those it reached. `unitAddress` goes into the
    // texts.
    std::vector<TAlarmEvent> Evaluate(const TPollOutcome& outcome, const TReadingRecord& reading,
                                      const TReadingSet& current, const std::string& unitAddress);

    // Whether the row's alarm is active and its reading is one of the latest poll.
    bool ReadingAlarmed(int row) const;
    bool UnitSilent() const { return silent_; }
    bool AnyActive() const;
    // One line per active alarm whose reading the latest poll took, e.g. "Temp 2 above 45 °C";
    // the silent unit too. An alarm of a reading that is not current is not confirmed: it is
    // left out until a poll takes the reading again.
    std::vector<std::string> ActiveDescriptions() const;
    // The same, each with the catalogue index of its reading (-1 for the silent unit).
    struct TActive {
        int Reading = -1;
        std::string Description;
    };
    std::vector<TActive> ActiveAlarms() const;

private:
    struct RowState {
        bool Low = false;
        bool High = false;
        int32_t LowPolls = 0;  // polls in a row beyond the limit, while its alarm waits
        int32_t HighPolls = 0;
    };
    void EvaluateReading(int row, const std::string& text, const TPollOutcome& outcome, const std::string& unitAddress,
                         std::vector<TAlarmEvent>& events);
    void EvaluateInput(int index, const std::string& text, const TPollOutcome& outcome, const std::string& unitAddress,
                       std::vector<TAlarmEvent>& events);

    TAlarmRules rules_;
    std::array<RowState, kAnalogueReadingCount> rows_{};
    std::array<int8_t, kInputCount> lastInput_{};  // -1 unknown, 0 off, 1 on
    std::array<bool, kInputCount> inputActive_{};
    TReadingSet current_;
    int32_t failuresInRow_ = 0;
    bool silent_ = false;
};

}  // namespace quorvane
