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

namespace {

// The byte at index as AnsiUpperCase would leave it, without copying the text: header names
// are compared this way on every line of every response. `trail` carries, from one index to
// the next, whether the byte is the second half of a double-byte character.
unsigned char UpperAt(const std::string& text, size_t index, bool& trail) {
    const unsigned char byte = static_cast<unsigned char>(text[index]);
    if (trail) {
        trail = false;
        return byte;
    }
    if (IsLeadByte(byte) && index + 1 < text.size()) {
        trail = true;
        return byte;
    }
    return ChangeCase(byte, true);
}

}  // namespace

int AnsiCompareText(const std::string& a, const std::string& b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    bool trailA = false;
    bool trailB = false;
    for (size_t index = 0; index < common; ++index) {
        const unsigned char upperA = UpperAt(a, index, trailA);
        const unsigned char upperB = UpperAt(b, index, trailB);
        if (upperA != upperB) {
            return upperA < upperB ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
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
