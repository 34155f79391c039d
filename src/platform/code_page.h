#pragma once

#include <cstddef>
#include <string>

namespace quorvane::platform {

// The byte-string code page of the process. Text of this system is bytes in this code page;
// under a double-byte code page (932, Shift-JIS) a lead byte and the byte after it form one
// character, and every scan must step over both together.
//
// The default follows the process locale: UTF-8 and the C locale have no lead bytes, so plain
// byte searches are right there. Tests switch to 932 to exercise the double-byte rules.
int ActiveCodePage() noexcept;
void SetActiveCodePage(int codePage);

// Sets the code page back to what the process locale implies.
void ResetActiveCodePage();

bool IsLeadByte(unsigned char byte) noexcept;
inline bool IsLeadByte(char byte) noexcept { return IsLeadByte(static_cast<unsigned char>(byte)); }

// True when the code page has any lead bytes at all, so that callers may pick a plain scan.
bool HasLeadBytes() noexcept;

// Length of the character starting at index (1 or 2; 1 where a lead byte has no trail byte).
inline size_t CharLength(const std::string& text, size_t index) noexcept {
    return (IsLeadByte(text[index]) && index + 1 < text.size()) ? 2 : 1;
}

// The text with every byte that is not part of a well-formed UTF-8 sequence replaced by
// `replacement`, for readers that want UTF-8 whatever bytes came in.
std::string Utf8Text(const std::string& text, const std::string& replacement = "\xEF\xBF\xBD");

// The text, bytes in the active code page, as UTF-8: the same characters the window shows
// for it (Shift-JIS under 932, Latin-1 under the single-byte page), with U+FFFD for what the
// code page cannot read.
std::string Utf8FromCodePage(const std::string& text);

// Holds a code page for the lifetime of the object (tests).
class ScopedCodePage {
public:
    explicit ScopedCodePage(int codePage) : previous_(ActiveCodePage()) { SetActiveCodePage(codePage); }
    ~ScopedCodePage() { SetActiveCodePage(previous_); }
    ScopedCodePage(const ScopedCodePage&) = delete;
    ScopedCodePage& operator=(const ScopedCodePage&) = delete;

private:
    int previous_;
};

}  // namespace quorvane::platform
