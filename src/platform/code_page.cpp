#include "platform/code_page.h"

#include <langinfo.h>

#include <atomic>
#include <clocale>
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

}  // namespace quorvane::platform
