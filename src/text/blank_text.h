#pragma once

#include <cstddef>
#include <string>

namespace quorvane {

// The byte-level text rules shared by the header, cookie, date and URI parsers: a blank is
// any byte from 1 to 32 (and 0), and names compare in ASCII case only, since protocol words
// are ASCII whatever the code page.

inline bool IsBlank(char ch) noexcept { return static_cast<unsigned char>(ch) <= ' '; }

inline std::string TrimLeft(const std::string& text) {
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) ++start;
    return text.substr(start);
}

inline std::string TrimRight(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1])) --end;
    return text.substr(0, end);
}

inline std::string Trim(const std::string& text) {
    size_t start = 0;
    size_t end = text.size();
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    return text.substr(start, end - start);
}

inline char AsciiUpper(char ch) noexcept { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

inline std::string AsciiUpperCase(std::string text) {
    for (char& ch : text) ch = AsciiUpper(ch);
    return text;
}

// True when sub stands in s at index at, ignoring ASCII case.
inline bool SameAsciiTextAt(const std::string& s, size_t at, const std::string& sub) noexcept {
    if (at > s.size() || sub.size() > s.size() - at) return false;
    for (size_t i = 0; i < sub.size(); ++i) {
        if (AsciiUpper(s[at + i]) != AsciiUpper(sub[i])) return false;
    }
    return true;
}

}  // namespace quorvane
