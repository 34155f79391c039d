#include "history/history_csv.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "history/history_store.h"

namespace quorvane {

namespace {

void Field(std::ostream& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out << text;
        return;
    }
    out << '"';
    for (char c : text) {
        if (c == '"') out << '"';
        out << c;
    }
    out << '"';
}

}  // namespace

std::string IsoTimeText(int64_t ms, int32_t offsetMinutes) {
    const int64_t localMs = ms + int64_t{offsetMinutes} * 60'000;
    const std::time_t seconds = static_cast<std::time_t>(FloorDiv(localMs, 1000));
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    const int32_t magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                  static_cast<int>(localMs - FloorDiv(localMs, 1000) * 1000), offsetMinutes < 0 ? '-' : '+',
                  static_cast<int>(magnitude / 60), static_cast<int>(magnitude % 60));
    return text;
}

int64_t WriteHistoryCsv(THistoryStore& store, int64_t fromMs, int64_t toMs, std::ostream& out,
                        const UtcOffsetFunction& offset) {
    out << "Time,DurationMs,Code,Failure";
    for (int i = 0; i < kHistoryFieldCount; ++i) out << ',' << HistoryFieldName(i);
    out << "\r\n";
    int64_t written = 0;
    store.ForEachPoll(fromMs, toMs, [&](const THistoryPoll& poll) {
        out << IsoTimeText(poll.StartedAtMs, offset(poll.StartedAtMs)) << ',' << poll.DurationMs << ',' << poll.Code
            << ',';
        Field(out, poll.FailureReason.value_or(""));
        for (const auto& value : poll.Values) {
            out << ',';
            Field(out, value.value_or(""));
        }
        out << "\r\n";
        ++written;
    });
    return written;
}

int64_t WriteHistoryEventsCsv(THistoryStore& store, int64_t fromMs, int64_t toMs, std::ostream& out,
                              const UtcOffsetFunction& offset) {
    out << "Time,Reading,Kind,Value or reason,Title\r\n";
    const std::vector<THistoryOccurrence> occurrences = store.Occurrences(fromMs, toMs, SIZE_MAX);
    for (const THistoryOccurrence& occurrence : occurrences) {
        out << IsoTimeText(occurrence.AtMs, offset(occurrence.AtMs)) << ',';
        Field(out, occurrence.Field >= 0 ? HistoryFieldName(occurrence.Field) : occurrence.Failure ? "" : "Unit");
        out << ',' << (occurrence.Failure ? "Failed poll" : occurrence.Started ? "Alarm start" : "Alarm end") << ',';
        Field(out, occurrence.Detail);
        out << ',';
        Field(out, occurrence.Title);
        out << "\r\n";
    }
    return static_cast<int64_t>(occurrences.size());
}

}  // namespace quorvane
