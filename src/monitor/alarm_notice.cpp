#include "monitor/alarm_notice.h"

namespace quorvane {

namespace {

// A change of an input is a moment: it has no end that could replace its notice.
bool Lasting(const TAlarmEvent& event) {
    const std::string suffix = "Change";
    return event.Key.size() < suffix.size() || event.Key.compare(event.Key.size() - suffix.size(), suffix.size(), suffix) != 0;
}

// "Temp 2 above 45 °C" of "Quorvane: Temp 2 above 45 °C".
std::string Condition(const TAlarmEvent& event) {
    const std::string prefix = "Quorvane: ";
    return event.Title.rfind(prefix, 0) == 0 ? event.Title.substr(prefix.size()) : event.Title;
}

// The event's text is its detail, then " at <time>, unit <address>".
size_t WhenAndWhere(const std::string& text) {
    const size_t at = text.rfind(" at ");
    return at == std::string::npos ? text.size() : at;
}

}  // namespace

std::vector<TAlarmNotice> GroupAlarmEvents(const std::vector<TAlarmEvent>& events) {
    std::vector<TAlarmNotice> notices;
    for (const bool started : {true, false}) {
        std::vector<const TAlarmEvent*> group;
        for (const TAlarmEvent& event : events) {
            if (event.Started == started) group.push_back(&event);
        }
        if (group.empty()) continue;
        TAlarmNotice notice;
        notice.Started = started;
        if (group.size() == 1) {
            notice.Title = group.front()->Title;
            notice.Body = group.front()->Text;
        } else {
            notice.Title = "Quorvane: " + std::to_string(group.size()) + (started ? " alarms" : " alarms ended");
            for (const TAlarmEvent* event : group) {
                notice.Body += Condition(*event) + ": " + event->Text.substr(0, WhenAndWhere(event->Text)) + "\n";
            }
            // Every event of a poll has the poll's time and unit: said once.
            const std::string& text = group.front()->Text;
            const size_t at = WhenAndWhere(text);
            if (at < text.size()) notice.Body += text.substr(at + 1);
        }
        for (const TAlarmEvent* event : group) {
            notice.Keys.push_back(event->Key);
            if (Lasting(*event)) notice.Lasting.push_back(event->Key);
        }
        notices.push_back(std::move(notice));
    }
    return notices;
}

}  // namespace quorvane
