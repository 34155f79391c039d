#include "history/history_csv.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "history/history_store.h"
#include "monitor/readings.h"
#include "platform/code_page.h"

namespace quorvane {

namespace {

// A text a spreadsheet would take for a formula ("=HYPERLINK(...)", "-2+3", "@SUM(...)")
// gets a leading apostrophe, which shows it as text; a number such as "-4.5" stays as it is.
bool LooksLikeFormula(const std::string& text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos &&
           !ReadingNumber(text);
}

// A UTF-8 text as one field: quoted when it must be, never a formula.
void TextField(std::ostream& out, std::string text) {
    if (LooksLikeFormula(text)) text.insert(0, 1, '\'');
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

// The unit's bytes, in the code page the window reads them in, as UTF-8.
void Field(std::ostream& out, const std::string& bytes) { TextField(out, platform::Utf8FromCodePage(bytes)); }

}  // namespace

std::string IsoTimeText(int64_t ms, int32_t offsetMinutes) {
    // Far beyond any date a poll can have (a crafted file): held at the end of the range
    // rather than overflowing.
    int64_t localMs = 0;
    if (__builtin_add_overflow(ms, int64_t{offsetMinutes} * 60'000, &localMs)) localMs = ms < 0 ? INT64_MIN : INT64_MAX;
    const std::time_t seconds = static_cast<std::time_t>(FloorDiv(localMs, 1000));
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    const int32_t magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                  static_cast<int>((localMs % 1000 + 1000) % 1000), offsetMinutes < 0 ? '-' : '+',
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
        out << (occurrence.Field >= 0 ? HistoryFieldName(occurrence.Field)
                : occurrence.Failure  ? ""
                                      : "Unit")
            << ','
            << (occurrence.Failure   ? "Failed poll"
                : occurrence.Started ? "Alarm start"
                                     : "Alarm end")
            << ',';
        Field(out, occurrence.Detail);
        out << ',';
        // Titles are the program's own sentences, already UTF-8.
        TextField(out, occurrence.Failure ? platform::Utf8FromCodePage(occurrence.Title) : occurrence.Title);
        out << "\r\n";
    }
    return static_cast<int64_t>(occurrences.size());
}

}  // namespace quorvane
