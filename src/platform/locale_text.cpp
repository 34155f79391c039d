#include "platform/locale_text.h"

#include <langinfo.h>

#include <cctype>

#include "platform/code_page.h"

namespace quorvane::platform {

namespace {

// A single-byte code page may have letters above 127 (Latin-1); ask the C library there.
// Everywhere else only ASCII letters change case.
unsigned char ChangeCase(unsigned char byte, bool upper) {
    if (byte < 0x80 || (!HasLeadBytes() && ActiveCodePage() != 65001)) {
        return static_cast<unsigned char>(upper ? std::toupper(byte) : std::tolower(byte));
    }
    return byte;
}

std::string MapCase(const std::string& text, bool upper) {
    std::string result = text;
    for (size_t index = 0; index < result.size();) {
        const size_t length = CharLength(result, index);
        if (length == 1) {
            result[index] = static_cast<char>(ChangeCase(static_cast<unsigned char>(result[index]), upper));
        }
        index += length;
    }
    return result;
}

}  // namespace

std::string AnsiUpperCase(const std::string& text) { return MapCase(text, true); }

std::string AnsiLowerCase(const std::string& text) { return MapCase(text, false); }

int AnsiCompareText(const std::string& a, const std::string& b) {
    const std::string upperA = AnsiUpperCase(a);
    const std::string upperB = AnsiUpperCase(b);
    const int order = upperA.compare(upperB);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

std::string TimeSeparator() {
    // The time format of the locale ("%H:%M:%S", "%H.%M.%S"): the separator is what follows
    // the hour directive.
    const char* format = nl_langinfo(T_FMT);
    if (format != nullptr) {
        for (const char* p = format; p[0] != '\0' && p[1] != '\0'; ++p) {
            if (p[0] == '%' && (p[1] == 'H' || p[1] == 'I' || p[1] == 'k' || p[1] == 'l')) {
                const char separator = p[2];
                if (separator != '\0' && separator != '%' && !std::isalnum(static_cast<unsigned char>(separator))) {
                    return std::string(1, separator);
                }
                break;
            }
        }
    }
    return ":";
}

}  // namespace quorvane::platform
