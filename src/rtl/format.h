#pragma once

#include <string>

namespace quorvane {

// printf-style formatting into a byte string; the message tables of this system are
// printf templates ("Socket Error # %d\r\n%s"), so one helper serves them all.
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quorvane
