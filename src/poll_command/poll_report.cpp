#include "poll_command/poll_report.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "platform/code_page.h"

namespace quorvane {

std::string NumberText(double value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) return "0";
    return std::string(buffer, end);
}

std::string TerminalText(const std::string& text) {
    const std::string utf8 = platform::Utf8Text(text, "?");
    std::string result;
    result.reserve(utf8.size());
    for (size_t at = 0; at < utf8.size(); ++at) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        if (byte == 0xC2 && at + 1 < utf8.size() && static_cast<unsigned char>(utf8[at + 1]) <= 0x9F) {
            result += '?';  // U+0080..U+009F: CSI, OSC and the rest of C1
            ++at;
        } else if (byte < 0x20 || byte == 0x7F) {
            result += '?';
        } else {
            result += utf8[at];
        }
    }
    return result;
}

std::string UtcTimeText(int64_t millisecondsSinceEpoch) {
    const std::time_t seconds = static_cast<std::time_t>(millisecondsSinceEpoch / 1000);
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(millisecondsSinceEpoch % 1000));
    return buffer;
}

}  // namespace quorvane
