#include "text/mem_ini_file.h"

#include <string_view>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/locale_text.h"

namespace quorvane {

namespace {

size_t CharLengthAt(std::string_view text, size_t index) {
    return (platform::IsLeadByte(text[index]) && index + 1 < text.size()) ? 2 : 1;
}

// Removes characters of code 0 to 32 at both ends. A view, so that a huge line is not
// copied once per step of its parsing.
std::string_view Trim(std::string_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32) {
        ++first;
    }
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) {
        --last;
    }
    return text.substr(first, last - first);
}

size_t FindCharacter(std::string_view text, char ch) {
    for (size_t index = 0; index < text.size(); index += CharLengthAt(text, index)) {
        if (text[index] == ch) {
            return index;
        }
    }
    return std::string::npos;
}

// Whether the last character (not merely the last byte: it may be the trail byte of a
// double-byte character) is ch.
bool EndsWithCharacter(std::string_view text, char ch) {
    size_t lastStart = std::string::npos;
    for (size_t index = 0; index < text.size(); index += CharLengthAt(text, index)) {
        lastStart = index;
    }
    return lastStart != std::string::npos && lastStart + 1 == text.size() && text[lastStart] == ch;
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::optional<int32_t> TCustomIniFile::ParseNumber(const std::string& text) {
    size_t index = 0;
    const size_t end = text.size();
    while (index < end && text[index] == ' ') {
        ++index;
    }
    bool negative = false;
    if (index < end && (text[index] == '+' || text[index] == '-')) {
        negative = text[index] == '-';
        ++index;
    }
    bool hexadecimal = false;
    if (index < end && (text[index] == '$' || text[index] == 'x' || text[index] == 'X')) {
        hexadecimal = true;
        ++index;
    } else if (index + 1 < end && text[index] == '0' && (text[index + 1] == 'x' || text[index + 1] == 'X')) {
        hexadecimal = true;
        index += 2;
    }
    if (index == end) {
        return std::nullopt;
    }
    uint64_t magnitude = 0;
    const uint64_t base = hexadecimal ? 16 : 10;
    // Hexadecimal is a 32-bit pattern; decimal must fit the signed range, whose negative end
    // is one further than its positive end.
    const uint64_t limit = hexadecimal ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; index < end; ++index) {
        const int digit = hexadecimal ? HexDigit(text[index]) : (text[index] >= '0' && text[index] <= '9' ? text[index] - '0' : -1);
        if (digit < 0) {
            return std::nullopt;
        }
        magnitude = magnitude * base + static_cast<uint64_t>(digit);
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    uint32_t pattern = static_cast<uint32_t>(magnitude);
    if (negative) {
        pattern = 0u - pattern;
    }
    return static_cast<int32_t>(pattern);
}

int32_t TCustomIniFile::ReadNumber(const std::string& section, const std::string& key, int32_t defaultValue) const {
    std::string text = ReadText(section, key, std::string());
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.replace(0, 2, "$");
    }
    return ParseNumber(text).value_or(defaultValue);
}

void TCustomIniFile::StoreNumber(const std::string& section, const std::string& key, int32_t value) {
    StoreText(section, key, std::to_string(value));
}

TMemIniFile::TMemIniFile(std::string fileName) : TCustomIniFile(std::move(fileName)) {
    if (!FileName().empty() && platform::FileExists(FileName())) {
        TStringList lines;
        lines.LoadLines(FileName());
        LoadFromLines(lines);
    }
}

TMemIniFile::~TMemIniFile() = default;

void TMemIniFile::SetMatchCase(bool value) {
    if (value == matchCase_) {
        return;
    }
    matchCase_ = value;
    sections_.SetCaseSensitive(value);
    for (const auto& section : sectionLists_) {
        section->SetCaseSensitive(value);
    }
}

bool TMemIniFile::HasKey(const std::string& section, const std::string& key) const {
    const THashedStringList* const lines = FindSection(section);
    if (lines == nullptr) {
        return false;
    }
    const int32_t count = lines->Count();
    for (int32_t index = 0; index < count; ++index) {
        const std::string& line = lines->At(index);
        if (FindCharacter(line, '=') != std::string::npos && platform::AnsiSameText(TStrings::NameOf(line), key)) {
            return true;
        }
    }
    return false;
}

std::string TMemIniFile::ReadText(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) const {
    const THashedStringList* const lines = FindSection(section);
    if (lines == nullptr) {
        return defaultValue;
    }
    const int32_t index = lines->LocateName(key);
    if (index < 0) {
        return defaultValue;
    }
    const std::string& line = lines->At(index);
    return line.substr(FindCharacter(line, '=') + 1);
}

void TMemIniFile::StoreText(const std::string& section, const std::string& key, const std::string& value) {
    THashedStringList* lines = FindSection(section);
    if (lines == nullptr) {
        lines = &AddSection(section);
    }
    const std::string line = key + "=" + value;
    const int32_t index = lines->LocateName(key);
    if (index >= 0) {
        lines->Put(index, line);
    } else {
        lines->Add(line);
    }
}

void TMemIniFile::StoreSoleText(const std::string& section, const std::string& key, const std::string& value) {
    StoreText(section, key, value);
    THashedStringList& lines = *FindSection(section);
    for (int32_t index = lines.LocateName(key) - 1; index >= 0; --index) {
        const std::string& line = lines.At(index);
        if (FindCharacter(line, '=') != std::string::npos && SameName(TStrings::NameOf(line), key)) lines.Delete(index);
    }
}

int32_t TMemIniFile::DeleteKey(const std::string& section, const std::string& key,
                               const std::function<bool(const std::string& value)>& which) {
    THashedStringList* lines = FindSection(section);
    int32_t deleted = 0;
    for (int32_t index = lines == nullptr ? -1 : lines->Count() - 1; index >= 0; --index) {
        const std::string& line = lines->At(index);
        const size_t separator = FindCharacter(line, '=');
        if (separator == std::string::npos || !SameName(line.substr(0, separator), key)) continue;
        if (which && !which(line.substr(separator + 1))) continue;
        lines->Delete(index);
        ++deleted;
    }
    return deleted;
}

std::vector<std::string> TMemIniFile::SectionLines(const std::string& section) const {
    std::vector<TSectionText> sections = SectionsNamed(section);
    return sections.empty() ? std::vector<std::string>() : std::move(sections.back().Lines);
}

std::vector<TMemIniFile::TSectionText> TMemIniFile::SectionsNamed(const std::string& section) const {
    std::vector<TSectionText> result;
    const int32_t count = sections_.Count();
    for (int32_t index = 0; index < count; ++index) {
        if (!SameName(sections_.At(index), section)) continue;
        const auto* lines = static_cast<const THashedStringList*>(sections_.GetObject(index));
        TSectionText& text = result.emplace_back();
        text.Name = sections_.At(index);
        for (int32_t line = 0; line < lines->Count(); ++line) text.Lines.push_back(lines->At(line));
    }
    return result;
}

void TMemIniFile::WriteBack() const {
    TStringList lines;
    CollectLines(lines);
    // The settings hold a password in clear: a file made here is for its owner's eyes only.
    lines.SaveLines(FileName(), 0600);
}

void TMemIniFile::CollectLines(TStrings& lines) const {
    TStringsChangeHold hold(lines);
    lines.Clear();
    const int32_t count = sections_.Count();
    for (int32_t index = 0; index < count; ++index) {
        lines.Add("[" + sections_.At(index) + "]");
        lines.AddStrings(*static_cast<const THashedStringList*>(sections_.GetObject(index)));
        lines.Add(std::string());
    }
}

void TMemIniFile::Clear() {
    sections_.Clear();
    sectionLists_.clear();
}

void TMemIniFile::LoadFromLines(const TStrings& lines) {
    Clear();
    TStringsChangeHold hold(sections_);
    THashedStringList* current = nullptr;
    const int32_t count = lines.Count();
    for (int32_t index = 0; index < count; ++index) {
        const std::string whole = lines.Get(index);
        const std::string_view line = Trim(whole);
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[' && EndsWithCharacter(line, ']')) {
            current = &AddSection(std::string(Trim(line.substr(1, line.size() - 2))));
            continue;
        }
        // Lines before the first section belong nowhere.
        if (current == nullptr) {
            continue;
        }
        const size_t separator = FindCharacter(line, '=');
        if (separator == std::string::npos) {
            current->Add(std::string(line));
            continue;
        }
        const std::string_view name = Trim(line.substr(0, separator));
        const std::string_view value = Trim(line.substr(separator + 1));
        std::string keyLine;
        keyLine.reserve(name.size() + 1 + value.size());
        keyLine.append(name).append(1, '=').append(value);
        current->Add(keyLine);
    }
}

THashedStringList* TMemIniFile::FindSection(const std::string& section) const {
    const int32_t index = sections_.LocateItem(section);
    return index < 0 ? nullptr : static_cast<THashedStringList*>(sections_.GetObject(index));
}

bool TMemIniFile::SameName(const std::string& a, const std::string& b) const {
    return matchCase_ ? a == b : platform::AnsiSameText(a, b);
}

THashedStringList& TMemIniFile::AddSection(const std::string& section) {
    auto lines = std::make_unique<THashedStringList>();
    lines->SetCaseSensitive(matchCase_);
    THashedStringList& added = *lines;
    sectionLists_.push_back(std::move(lines));
    sections_.AddObject(section, &added);
    return added;
}

}  // namespace quorvane
