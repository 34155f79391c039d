#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "text/strings.h"

namespace quorvane::testing {

// A list's items as a vector, for comparing a whole list in one assertion.
inline std::vector<std::string> LinesOf(const TStrings& list) {
    std::vector<std::string> lines;
    for (int32_t index = 0; index < list.Count(); ++index) lines.push_back(list.Get(index));
    return lines;
}

// Replaces a list's items by the given lines.
inline void Fill(TStrings& list, std::initializer_list<std::string> lines) {
    list.Clear();
    for (const std::string& line : lines) list.Add(line);
}

}  // namespace quorvane::testing
