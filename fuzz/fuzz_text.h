#pragma once

#include <cstddef>
#include <string>

#include "platform/code_page.h"

// Whether any character of the text, as the active code page divides it, passes the test; the
// test is given the index of the character's first byte and its length in bytes.
template <typename Test>
bool AnyCharacter(const std::string& text, Test test) {
    size_t index = 0;
    while (index < text.size()) {
        const size_t length = quorvane::platform::CharLength(text, index);
        if (test(index, length)) {
            return true;
        }
        index += length;
    }
    return false;
}

// A lead byte that has no trail byte after it (it ends the text).
inline bool EndsInLoneLeadByte(const std::string& text) {
    return AnyCharacter(text, [&text](size_t index, size_t length) {
        return length == 1 && quorvane::platform::IsLeadByte(text[index]);
    });
}
