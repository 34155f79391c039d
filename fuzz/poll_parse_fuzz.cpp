// The poll's answer parsing on arbitrary bodies fails only with the string list's index error
// (an answer with too few items), and every field it stores is an item of the extracted answer
// with at most its prefix removed; fields past a missing item keep their old values. An answer
// in the unit's own form gives exactly the values it carries.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "monitor/sensor_poll.h"
#include "platform/code_page.h"
#include "platform/locale_text.h"
#include "rtl/exception.h"
#include "text/string_list.h"

namespace {

using quorvane::TReadingRecord;
using quorvane::TStringList;

const char kUntouched[] = "\x01untouched";

struct Group {
    void (*parse)(TStringList&, TReadingRecord&);
    std::string& (TReadingRecord::*field)(int);
    char letter;
    int count;
};

const Group kGroups[4] = {
    {&quorvane::ParseVolt, &TReadingRecord::Volt, 'V', 3},
    {&quorvane::ParseTemp, &TReadingRecord::Temp, 'T', 3},
    {&quorvane::ParseFan, &TReadingRecord::Fan, 'F', 3},
    {&quorvane::ParseInput, &TReadingRecord::Input, 'I', 16},
};

TReadingRecord Untouched() {
    TReadingRecord record;
    for (const Group& group : kGroups) {
        for (int i = 1; i <= group.count; ++i) {
            (record.*group.field)(i) = kUntouched;
        }
    }
    return record;
}

bool IsItemWithoutPrefix(const std::string& field, const std::string& item, const std::string& prefix) {
    if (field == item) {
        return true;
    }
    return item.size() >= prefix.size() &&
           quorvane::platform::AnsiSameText(item.substr(0, prefix.size()), prefix) &&
           field == item.substr(prefix.size());
}

// Parses `body` as the poll does and checks the stored fields against the list the parser
// left behind (the answer cut down to its html part).
void CheckArbitraryBody(const Group& group, const std::string& body) {
    TStringList answer;
    answer.SplitCommaText(body);
    TReadingRecord record = Untouched();
    bool indexError = false;
    try {
        group.parse(answer, record);
    } catch (const quorvane::EStringListError&) {
        indexError = true;
    }
    // Only a missing item may end the parse.
    FUZZ_CHECK(indexError == (answer.Count() < group.count));
    for (int i = 1; i <= group.count; ++i) {
        const std::string& field = (record.*group.field)(i);
        if (i > answer.Count()) {
            FUZZ_CHECK(field == kUntouched);
            continue;
        }
        const std::string prefix = std::string(1, group.letter) + std::to_string(i) + ":";
        FUZZ_CHECK(IsItemWithoutPrefix(field, answer.Get(i - 1), prefix));
    }
}

// Reduces raw bytes to a value the unit could send: printable, no separators of comma text,
// no markup, not starting like an item prefix.
std::string UnitValue(const std::string& raw) {
    std::string value;
    for (char ch : raw) {
        const bool printable = ch > ' ' && ch < 127;
        if (printable && ch != ',' && ch != '"' && ch != '<' && ch != '>' && ch != ':') {
            value += ch;
        }
    }
    return value;
}

void CheckUnitAnswer(const Group& group, const std::vector<std::string>& values) {
    std::string body = "<html>";
    for (int i = 1; i <= group.count; ++i) {
        if (i > 1) {
            body += ",";
        }
        if (group.letter == 'I') {
            body += "Input:";
        }
        body += std::string(1, group.letter) + std::to_string(i) + ":" + values[static_cast<size_t>(i - 1)];
    }
    body += "</html>";
    TStringList answer;
    answer.SplitCommaText(body);
    TReadingRecord record = Untouched();
    group.parse(answer, record);
    for (int i = 1; i <= group.count; ++i) {
        FUZZ_CHECK((record.*group.field)(i) == values[static_cast<size_t>(i - 1)]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // First byte: the group (bits 0-1) and the double-byte code page (bit 2).
    const Group& group = kGroups[data[0] & 3];
    const bool doubleByte = (data[0] & 4) != 0;
    const quorvane::platform::ScopedCodePage codePage(doubleByte ? 932 : 65001);
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    CheckArbitraryBody(group, body);

    if (!doubleByte) {
        // The same bytes cut into the group's values, in the unit's own answer form.
        std::vector<std::string> values(static_cast<size_t>(group.count));
        const size_t share = body.size() / static_cast<size_t>(group.count) + 1;
        for (size_t i = 0; i < values.size(); ++i) {
            values[i] = UnitValue(i * share < body.size() ? body.substr(i * share, share) : std::string());
        }
        CheckUnitAnswer(group, values);
    }
    return 0;
}
