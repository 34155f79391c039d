#include "platform/code_page.h"

#include <iconv.h>
#include <langinfo.h>

#include <atomic>
#include <clocale>
#include <cerrno>
#include <cstring>

namespace quorvane::platform {

namespace {

constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePageShiftJis = 932;
constexpr int kCodePageSingleByte = 1252;

int CodePageOfLocale() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr) {
        return kCodePageSingleByte;
    }
    if (strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "utf8") == 0) {
        return kCodePageUtf8;
    }
    if (strcasecmp(codeset, "SHIFT_JIS") == 0 || strcasecmp(codeset, "SJIS") == 0 ||
        strcasecmp(codeset, "CP932") == 0) {
        return kCodePageShiftJis;
    }
    return kCodePageSingleByte;
}

std::atomic<int> activeCodePage{0};

const char kReplacementCharacter[] = "\xEF\xBF\xBD";

bool IsAscii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

std::string Utf8FromLatin1(const std::string& text) {
    std::string result;
    result.reserve(text.size() * 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            result += c;
        } else {
            result += static_cast<char>(0xC0 | (byte >> 6));
            result += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return result;
}

// Through the C library's converter for Windows' Shift-JIS, which keeps 0x5C a backslash as
// the window's converter does. A byte it cannot read becomes U+FFFD and the rest goes on.
std::string Utf8FromShiftJis(const std::string& text) {
    const iconv_t converter = ::iconv_open("UTF-8", "CP932");
    std::string result;
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) < 0x80) result += c;
            else result += kReplacementCharacter;
        }
        return result;
    }
    std::string input = text;
    char* in = input.data();
    size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t converted = ::iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, static_cast<size_t>(out - buffer));
        if (converted == static_cast<size_t>(-1) && errno != E2BIG) {
            // EILSEQ or EINVAL (a lead byte at the end): one byte is given up.
            result += kReplacementCharacter;
            ++in;
            --inLeft;
        }
    }
    ::iconv_close(converter);
    return result;
}

}  // namespace

int ActiveCodePage() noexcept {
    int codePage = activeCodePage.load(std::memory_order_relaxed);
    if (codePage == 0) {
        codePage = CodePageOfLocale();
        activeCodePage.store(codePage, std::memory_order_relaxed);
    }
    return codePage;
}

void SetActiveCodePage(int codePage) { activeCodePage.store(codePage, std::memory_order_relaxed); }

void ResetActiveCodePage() { activeCodePage.store(CodePageOfLocale(), std::memory_order_relaxed); }

bool IsLeadByte(unsigned char byte) noexcept {
    if (ActiveCodePage() != kCodePageShiftJis) {
        return false;
    }
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool HasLeadBytes() noexcept { return ActiveCodePage() == kCodePageShiftJis; }

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
            if (lead == 0xE0) low = 0xA0;   // no overlong forms
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

std::string Utf8FromCodePage(const std::string& text) {
    if (IsAscii(text)) return text;
    switch (ActiveCodePage()) {
        case kCodePageUtf8: return Utf8Text(text);
        case kCodePageShiftJis: return Utf8FromShiftJis(text);
        default: return Utf8FromLatin1(text);
    }
}

}  // namespace quorvane::platform
