// Received header lines of any bytes are read without failing; and a value written folded at
// any width reads back as written, once it is in the form folding preserves (single spaces, a
// space after every comma, no control characters, no blanks at the ends).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "http/net_header_list.h"
#include "platform/code_page.h"
#include "text/string_list.h"

namespace {

std::string FoldableValue(const std::string& raw) {
    std::string value;
    for (char ch : raw) {
        const bool blank = static_cast<unsigned char>(ch) <= 32;
        if (blank) {
            if (!value.empty() && value.back() != ' ') {
                value += ' ';
            }
            continue;
        }
        if (!value.empty() && value.back() == ',') {
            value += ' ';
        }
        value += ch;
    }
    while (!value.empty() && (value.back() == ' ' || value.back() == ',')) {
        value.pop_back();
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const bool doubleByte = (data[0] & 1) != 0;
    const quorvane::platform::ScopedCodePage codePage(doubleByte ? 932 : 65001);
    const int32_t width = data[1];
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

    quorvane::TNetHeaderList received;
    received.SetText(text);
    quorvane::TStringList values;
    for (int32_t index = 0; index < received.Count() && index < 64; ++index) {
        const std::string name = received.NameAt(index);
        const int32_t found = received.FindName(name);
        FUZZ_CHECK(found >= 0 && found <= index);
        received.CollectValues(name, &values);
    }

    if (!doubleByte) {
        const std::string value = FoldableValue(text);
        quorvane::TNetHeaderList written;
        written.FoldLength = width;
        written.PutValue("X-Fuzz", value);
        FUZZ_CHECK(written.ValueOf("x-fuzz") == value);
        for (int32_t index = 1; index < written.Count(); ++index) {
            FUZZ_CHECK(written.Get(index).size() > 1 && written.Get(index)[0] == ' ');
        }
    }
    return 0;
}
