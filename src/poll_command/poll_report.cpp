#include "poll_command/poll_report.h"

#include <charconv>
#include <cstdio>
#include <ctime>

namespace quorvane {

std::string NumberText(double value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc()) return "0";
    return std::string(buffer, end);
}

std::string Utf8Text(const std::string& text, const std::string& replacement) {
    std::string result;
    result.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;  // the allowed range of the second byte
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;  // no overlong forms
            if (lead == 0xED) high = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
        }
        bool wellFormed = length > 0 && at + length <= text.size();
        for (size_t k = 1; wellFormed && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[at + k]);
            wellFormed = k == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        }
        if (wellFormed) {
            result.append(text, at, length);
            at += length;
        } else {
            result += replacement;
            ++at;
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
