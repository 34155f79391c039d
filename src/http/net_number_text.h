#pragma once

#include <cstdint>
#include <string>

namespace quorvane {

// The runtime's reading of integers in text, as the date and cookie parsers use it: leading
// spaces, an optional sign, decimal digits or hex after "$" or "0x"; nothing may follow.
// Out-of-range values fail instead of wrapping.
bool NetTryTextToInt64(const std::string& text, int64_t& value) noexcept;
bool NetTryTextToInt32(const std::string& text, int32_t& value) noexcept;
int32_t NetTextToInt32Def(const std::string& text, int32_t fallback) noexcept;
int64_t NetTextToInt64Def(const std::string& text, int64_t fallback) noexcept;

}  // namespace quorvane
