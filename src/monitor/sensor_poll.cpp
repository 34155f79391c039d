#include "monitor/sensor_poll.h"

#include <algorithm>
#include <limits>
#include <string>

#include "http/net_uri.h"
#include "platform/locale_text.h"
#include "text/string_list.h"

namespace quorvane {

TReadingRecord Reading;
int32_t PollCount = 0;
int32_t ErrorCount = 0;

namespace {

// Removes every "Input:" whatever its case. The search runs on the upper-cased copy (same
// length, trail bytes untouched) with the double-byte aware search, so a trail byte that
// happens to look like a letter never starts a match.
std::string RemoveInputMarkers(const std::string& text) {
    static const std::string marker = "INPUT:";
    const std::string upper = platform::AnsiUpperCase(text);
    if (upper.size() != text.size()) return text;
    std::string result;
    size_t from = 0;
    for (;;) {
        const int32_t pos = SubPos(marker, upper.substr(from));
        if (pos == 0) break;
        const size_t at = from + static_cast<size_t>(pos - 1);
        result.append(text, from, at - from);
        from = at + marker.size();
    }
    result.append(text, from, std::string::npos);
    return result;
}

}  // namespace

void ApplyPollResult(const TPollResult& result) {
    for (const TReading& reading : Readings()) {
        if (result.Reached.test(static_cast<size_t>(reading.Index))) reading.Of(Reading) = reading.Of(result.Readings);
    }
    if (result.Started) ++PollCount;
    if (result.Failed) ++ErrorCount;
}

int32_t PollExchangeLimit(int32_t readTimeout) {
    const int64_t perRead = readTimeout > 0 ? readTimeout : 600000;
    const int64_t total = 4 * perRead + 2000;
    return static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
}

void ExtractHtmlBody(TStringList& answer) {
    std::string text = answer.JoinCommaText();
    const size_t open = text.find("<html>");
    // Without a marker the first five characters go, as if it stood just before the text.
    const size_t start = open == std::string::npos ? 5 : open + 6;
    text = start < text.size() ? text.substr(start) : std::string();
    const size_t close = text.find("</html>");
    text = close == std::string::npos ? std::string() : text.substr(0, close);
    answer.SplitCommaText(text);
}

std::string StripPrefix(const std::string& prefix, const std::string& item) {
    if (item.size() >= prefix.size() && platform::AnsiSameText(item.substr(0, prefix.size()), prefix)) {
        return item.substr(prefix.size());
    }
    return item;
}

void ParseReadingGroup(TStringList& answer, TReadingGroup group, TReadingRecord& record, TReadingSet* reached) {
    if (group == TReadingGroup::Input) answer.SetText(RemoveInputMarkers(answer.GetText()));
    ExtractHtmlBody(answer);
    const TReadingGroupInfo& info = ReadingGroup(group);
    for (int i = 1; i <= info.Count; ++i) {
        // Stored one by one: a short answer still updates the fields it did carry.
        const std::string item = answer.Get(i - 1);
        const TReading& reading = ReadingOf(group, i);
        reading.Of(record) = StripPrefix(info.ItemLetter + std::to_string(i) + ':', item);
        if (reached != nullptr) reached->set(static_cast<size_t>(reading.Index));
    }
}

void ParseVolt(TStringList& answer, TReadingRecord& record) { ParseReadingGroup(answer, TReadingGroup::Volt, record); }
void ParseTemp(TStringList& answer, TReadingRecord& record) { ParseReadingGroup(answer, TReadingGroup::Temp, record); }
void ParseFan(TStringList& answer, TReadingRecord& record) { ParseReadingGroup(answer, TReadingGroup::Fan, record); }
void ParseInput(TStringList& answer, TReadingRecord& record) { ParseReadingGroup(answer, TReadingGroup::Input, record); }

}  // namespace quorvane
