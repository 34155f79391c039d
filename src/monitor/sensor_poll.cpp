#include "monitor/sensor_poll.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>
#include <string>

#include "http/net_uri.h"
#include "platform/locale_text.h"
#include "rtl/format.h"
#include "text/string_list.h"

namespace quorvane {

TReadingRecord Reading;
int32_t PollCount = 0;
int32_t ErrorCount = 0;

namespace {

template <typename Record>
auto& Field(Record& record, const char* group, int index, int count) {
    if (index < 1 || index > count) {
        throw std::out_of_range(Format("%s index %d outside 1..%d", group, index, count));
    }
    using Member = std::string TReadingRecord::*;
    static constexpr std::array<Member, 3> volts{&TReadingRecord::Volt1, &TReadingRecord::Volt2, &TReadingRecord::Volt3};
    static constexpr std::array<Member, 3> temps{&TReadingRecord::Temp1, &TReadingRecord::Temp2, &TReadingRecord::Temp3};
    static constexpr std::array<Member, 3> fans{&TReadingRecord::Fan1, &TReadingRecord::Fan2, &TReadingRecord::Fan3};
    static constexpr std::array<Member, 16> inputs{
        &TReadingRecord::Input1,  &TReadingRecord::Input2,  &TReadingRecord::Input3,  &TReadingRecord::Input4,
        &TReadingRecord::Input5,  &TReadingRecord::Input6,  &TReadingRecord::Input7,  &TReadingRecord::Input8,
        &TReadingRecord::Input9,  &TReadingRecord::Input10, &TReadingRecord::Input11, &TReadingRecord::Input12,
        &TReadingRecord::Input13, &TReadingRecord::Input14, &TReadingRecord::Input15, &TReadingRecord::Input16};
    const size_t i = static_cast<size_t>(index - 1);
    switch (group[0]) {
        case 'V': return record.*volts[i];
        case 'T': return record.*temps[i];
        case 'F': return record.*fans[i];
        default: return record.*inputs[i];
    }
}

// Items are "<first letter of the group><number>:<value>", e.g. "V1:12.0".
void ParseGroup(TStringList& answer, TReadingRecord& record, const char* group, int count) {
    ExtractHtmlBody(answer);
    for (int i = 1; i <= count; ++i) {
        // Stored one by one: a short answer still updates the fields it did carry.
        const std::string item = answer.Get(i - 1);
        std::string prefix(1, group[0]);
        prefix += std::to_string(i);
        prefix += ':';
        Field(record, group, i, count) = StripPrefix(prefix, item);
    }
}

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

std::string& TReadingRecord::Volt(int index) { return Field(*this, "Volt", index, 3); }
std::string& TReadingRecord::Temp(int index) { return Field(*this, "Temp", index, 3); }
std::string& TReadingRecord::Fan(int index) { return Field(*this, "Fan", index, 3); }
std::string& TReadingRecord::Input(int index) { return Field(*this, "Input", index, 16); }
const std::string& TReadingRecord::Volt(int index) const { return Field(*this, "Volt", index, 3); }
const std::string& TReadingRecord::Temp(int index) const { return Field(*this, "Temp", index, 3); }
const std::string& TReadingRecord::Fan(int index) const { return Field(*this, "Fan", index, 3); }
const std::string& TReadingRecord::Input(int index) const { return Field(*this, "Input", index, 16); }

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

void ParseVolt(TStringList& answer, TReadingRecord& record) { ParseGroup(answer, record, "Volt", 3); }
void ParseTemp(TStringList& answer, TReadingRecord& record) { ParseGroup(answer, record, "Temp", 3); }
void ParseFan(TStringList& answer, TReadingRecord& record) { ParseGroup(answer, record, "Fan", 3); }

void ParseInput(TStringList& answer, TReadingRecord& record) {
    answer.SetText(RemoveInputMarkers(answer.GetText()));
    ParseGroup(answer, record, "Input", 16);
}

}  // namespace quorvane
