// Splitting any text and joining the items again must give text that splits back into the
// same items; the same holds for line text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_text.h"
#include "platform/code_page.h"
#include "support/list_lines.h"
#include "text/string_list.h"

namespace {

using quorvane::testing::LinesOf;

// A lead byte with no trail byte at the end of an item is no character of the code page:
// whatever follows it in a joined text (the closing quote, the comma) becomes its trail byte,
// so no joined form of such an item can split back. Only well-formed items are held to the
// round trip.
void CheckRoundTrips(const std::string& text) {
    quorvane::TStringList split;
    split.SplitCommaText(text);
    bool wellFormed = true;
    for (const std::string& item : LinesOf(split)) {
        wellFormed = wellFormed && !EndsInLoneLeadByte(item);
    }
    quorvane::TStringList again;
    again.SplitCommaText(split.JoinCommaText());
    if (wellFormed) {
        FUZZ_CHECK(LinesOf(again) == LinesOf(split));
    }

    quorvane::TStringList lines;
    lines.SetText(text);
    quorvane::TStringList linesAgain;
    linesAgain.SetText(lines.GetText());
    FUZZ_CHECK(LinesOf(linesAgain) == LinesOf(lines));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        CheckRoundTrips(std::string());
        return 0;
    }
    // The first byte picks the code page, so that the double-byte stepping is fuzzed too.
    const quorvane::platform::ScopedCodePage codePage((data[0] & 1) != 0 ? 932 : 65001);
    CheckRoundTrips(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    return 0;
}
