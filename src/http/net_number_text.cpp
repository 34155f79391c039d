#include "http/net_number_text.h"

#include <limits>

namespace quorvane {

bool NetTryTextToInt64(const std::string& text, int64_t& value) noexcept {
    size_t pos = 0;
    const size_t length = text.size();
    while (pos < length && text[pos] == ' ') ++pos;
    bool negative = false;
    if (pos < length && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    int base = 10;
    if (pos < length && text[pos] == '$') {
        base = 16;
        ++pos;
    } else if (pos + 1 < length && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= length) return false;

    // Accumulated as a magnitude so that the most negative value is reachable.
    const uint64_t limit = negative ? static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1
                                    : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    uint64_t magnitude = 0;
    for (; pos < length; ++pos) {
        const char ch = text[pos];
        int digit;
        if (ch >= '0' && ch <= '9')
            digit = ch - '0';
        else if (base == 16 && ch >= 'a' && ch <= 'f')
            digit = ch - 'a' + 10;
        else if (base == 16 && ch >= 'A' && ch <= 'F')
            digit = ch - 'A' + 10;
        else
            return false;
        if (magnitude > (limit - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) return false;
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    if (negative)
        value = magnitude == limit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(magnitude);
    else
        value = static_cast<int64_t>(magnitude);
    return true;
}

bool NetTryTextToInt32(const std::string& text, int32_t& value) noexcept {
    int64_t wide = 0;
    if (!NetTryTextToInt64(text, wide)) return false;
    if (wide < std::numeric_limits<int32_t>::min() || wide > std::numeric_limits<int32_t>::max()) return false;
    value = static_cast<int32_t>(wide);
    return true;
}

int32_t NetTextToInt32Def(const std::string& text, int32_t fallback) noexcept {
    int32_t value = 0;
    return NetTryTextToInt32(text, value) ? value : fallback;
}

int64_t NetTextToInt64Def(const std::string& text, int64_t fallback) noexcept {
    int64_t value = 0;
    return NetTryTextToInt64(text, value) ? value : fallback;
}

}  // namespace quorvane
