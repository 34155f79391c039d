// A settings file of any text loads; what the store writes back loads again into the same
// sections, keys and values, and writing that gives the very same lines (the written form is
// a fixed point). Every few inputs the round trip goes through a real file, as the monitor's
// settings do.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_text.h"
#include "platform/code_page.h"
#include "support/list_lines.h"
#include "text/mem_ini_file.h"
#include "text/string_list.h"

namespace {

using quorvane::testing::LinesOf;

// The store trims blanks (codes 0 to 32) off names and values byte by byte. A lead byte whose
// trail byte is such a blank is no character of the code page (Shift-JIS trail bytes start at
// 0x40), and trimming cuts it apart; the lone lead byte left behind then swallows whatever
// the written form puts after it ("=" of a key, "]" of a section) and the text cannot read
// back the same. Only text without such broken pairs is held to the round trip.
bool HasBlankTrailByte(const std::string& text) {
    return AnyCharacter(text, [&text](size_t index, size_t length) {
        return length == 2 && static_cast<unsigned char>(text[index + 1]) <= 32;
    });
}

struct Entry {
    std::string section;
    std::string key;
    bool present = false;
    std::string value;
};

// Every section and every key named by the written lines, with what the store answers for it.
std::vector<Entry> Entries(const quorvane::TMemIniFile& store, const std::vector<std::string>& written) {
    std::vector<Entry> entries;
    std::string section;
    for (const std::string& line : written) {
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            entries.push_back({section, std::string(), false, std::string()});
            continue;
        }
        const std::string key = quorvane::TStrings::NameOf(line);
        Entry entry{section, key, store.HasKey(section, key), store.ReadText(section, key, "\x01missing")};
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool SameEntries(const std::vector<Entry>& a, const std::vector<Entry>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t index = 0; index < a.size(); ++index) {
        if (a[index].section != b[index].section || a[index].key != b[index].key ||
            a[index].present != b[index].present || a[index].value != b[index].value) {
            return false;
        }
    }
    return true;
}

// The store flushes the file to the disk before renaming it into place; on a memory file
// system that costs nothing, on a disk it would slow every run to a crawl.
std::string ScratchFile() {
    const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return folder + "/quorvane_ini_fuzz_" + std::to_string(::getpid()) + ".ini";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // First byte: bit 0 picks the double-byte code page, bit 1 case-sensitive names, bit 2
    // the round trip through a file.
    const quorvane::platform::ScopedCodePage codePage((data[0] & 1) != 0 ? 932 : 65001);
    const bool matchCase = (data[0] & 2) != 0;
    const bool throughFile = (data[0] & 4) != 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    quorvane::TStringList lines;
    lines.SetText(text);
    quorvane::TMemIniFile first("");
    first.SetMatchCase(matchCase);
    first.LoadFromLines(lines);
    quorvane::TStringList written;
    first.CollectLines(written);

    if (HasBlankTrailByte(text)) {
        return 0;
    }

    quorvane::TStringList reread;
    std::string fileName;
    if (throughFile) {
        fileName = ScratchFile();
        quorvane::TMemIniFile saver(fileName);
        saver.SetMatchCase(matchCase);
        saver.LoadFromLines(written);
        saver.WriteBack();
        reread.LoadLines(fileName);
    } else {
        reread.SetText(written.GetText());
    }
    quorvane::TMemIniFile second(fileName.empty() ? std::string() : fileName);
    second.SetMatchCase(matchCase);
    if (fileName.empty()) {
        second.LoadFromLines(reread);
    } else {
        ::unlink(fileName.c_str());
    }
    quorvane::TStringList writtenAgain;
    second.CollectLines(writtenAgain);

    const std::vector<std::string> firstLines = LinesOf(written);
    FUZZ_CHECK(LinesOf(writtenAgain) == firstLines);
    FUZZ_CHECK(SameEntries(Entries(first, firstLines), Entries(second, firstLines)));
    return 0;
}
