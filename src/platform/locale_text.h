#pragma once

#include <string>

namespace quorvane::platform {

// Upper-casing and case-insensitive comparison in the sense of the regional settings. Only
// single characters change case: under a double-byte code page the trail byte of a pair is
// never touched (a Shift-JIS trail byte may look like an ASCII letter), and under UTF-8 only
// ASCII letters change, since a byte of a multi-byte sequence is no letter by itself.
std::string AnsiUpperCase(const std::string& text);
std::string AnsiLowerCase(const std::string& text);

// <0, 0, >0 like strcmp, ignoring letter case.
int AnsiCompareText(const std::string& a, const std::string& b);
inline bool AnsiSameText(const std::string& a, const std::string& b) { return AnsiCompareText(a, b) == 0; }

// The separator between hours, minutes and seconds of the regional settings; ":" where the
// locale gives none.
std::string TimeSeparator();

}  // namespace quorvane::platform
