#include "text/strings.h"

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/locale_text.h"
#include "rtl/exception.h"
#include "rtl/format.h"

namespace quorvane {

namespace {

constexpr char kComma = ',';
constexpr char kQuote = '"';

bool IsBlank(char ch) {
    const auto code = static_cast<unsigned char>(ch);
    return code >= 1 && code <= 32;
}

// Position of the first ch at a character boundary, stepping over double-byte characters
// whole; npos when absent.
size_t FindCharacter(const std::string& text, char ch) {
    for (size_t index = 0; index < text.size(); index += platform::CharLength(text, index)) {
        if (text[index] == ch) {
            return index;
        }
    }
    return std::string::npos;
}

// The text up to its first code 0: conversions that take text as the platform's
// zero-terminated strings end there.
std::string UpToNul(const std::string& text) {
    const size_t nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
}

// Reads a quoted item starting at the opening quote; moves index past the closing quote,
// or to the end when there is none.
std::string ReadQuotedItem(const std::string& value, size_t& index) {
    std::string item;
    ++index;
    while (index < value.size()) {
        if (value[index] == kQuote) {
            if (index + 1 < value.size() && value[index + 1] == kQuote) {
                item += kQuote;
                index += 2;
                continue;
            }
            ++index;
            return item;
        }
        const size_t length = platform::CharLength(value, index);
        item.append(value, index, length);
        index += length;
    }
    return item;
}

bool NeedsQuotes(const std::string& item) {
    for (size_t index = 0; index < item.size(); index += platform::CharLength(item, index)) {
        const auto code = static_cast<unsigned char>(item[index]);
        if (code <= 32 || item[index] == kQuote || item[index] == kComma) {
            return true;
        }
    }
    return false;
}

void AppendQuoted(std::string& result, const std::string& item) {
    result += kQuote;
    for (size_t index = 0; index < item.size();) {
        const size_t length = platform::CharLength(item, index);
        if (length == 1 && item[index] == kQuote) {
            result += kQuote;
        }
        result.append(item, index, length);
        index += length;
    }
    result += kQuote;
}

}  // namespace

void TStrings::Put(int32_t index, const std::string& text) {
    TObject* const object = GetObject(index);
    TStringsChangeHold hold(*this);
    Delete(index);
    InsertObject(index, text, object);
}

TObject* TStrings::GetObject(int32_t /*index*/) const { return nullptr; }

void TStrings::PutObject(int32_t /*index*/, TObject* /*object*/) {}

int32_t TStrings::Add(const std::string& text) {
    const int32_t index = Count();
    Insert(index, text);
    return index;
}

int32_t TStrings::AddObject(const std::string& text, TObject* object) {
    const int32_t index = Add(text);
    PutObject(index, object);
    return index;
}

void TStrings::InsertObject(int32_t index, const std::string& text, TObject* object) {
    Insert(index, text);
    PutObject(index, object);
}

void TStrings::Assign(const TStrings& source) {
    if (&source == this) {
        return;
    }
    TStringsChangeHold hold(*this);
    Clear();
    AddStrings(source);
}

void TStrings::AddStrings(const TStrings& source) {
    TStringsChangeHold hold(*this);
    const int32_t count = source.Count();
    for (int32_t index = 0; index < count; ++index) {
        AddObject(source.Get(index), source.GetObject(index));
    }
}

int32_t TStrings::LocateItem(const std::string& text) const {
    const int32_t count = Count();
    for (int32_t index = 0; index < count; ++index) {
        if (platform::AnsiSameText(Get(index), text)) {
            return index;
        }
    }
    return -1;
}

int32_t TStrings::LocateName(const std::string& name) const {
    const int32_t count = Count();
    for (int32_t index = 0; index < count; ++index) {
        const std::string item = Get(index);
        if (FindCharacter(item, '=') != std::string::npos && platform::AnsiSameText(NameOf(item), name)) {
            return index;
        }
    }
    return -1;
}

std::string TStrings::Name(int32_t index) const { return NameOf(Get(index)); }

std::string TStrings::NameOf(const std::string& item) {
    const size_t separator = FindCharacter(item, '=');
    return separator == std::string::npos ? std::string() : item.substr(0, separator);
}

std::string TStrings::JoinCommaText() const {
    const int32_t count = Count();
    if (count == 1 && Get(0).empty()) {
        return std::string(2, kQuote);
    }
    std::string result;
    for (int32_t index = 0; index < count; ++index) {
        const std::string item = Get(index);
        if (index > 0) {
            result += kComma;
        }
        if (NeedsQuotes(item)) {
            AppendQuoted(result, item);
        } else {
            result += item;
        }
    }
    return result;
}

void TStrings::SplitCommaText(const std::string& text) {
    const std::string value = UpToNul(text);
    const size_t end = value.size();
    TStringsChangeHold hold(*this);
    Clear();
    size_t index = 0;
    const auto skipBlanks = [&] {
        while (index < end && IsBlank(value[index])) {
            ++index;
        }
    };
    skipBlanks();
    while (index < end) {
        if (value[index] == kQuote) {
            Add(ReadQuotedItem(value, index));
        } else {
            const size_t start = index;
            while (index < end && !IsBlank(value[index]) && value[index] != kComma) {
                index += platform::CharLength(value, index);
            }
            Add(value.substr(start, index - start));
        }
        skipBlanks();
        if (index < end && value[index] == kComma) {
            if (index + 1 == end) {
                Add(std::string());
            }
            ++index;
            skipBlanks();
        }
    }
}

std::string TStrings::GetText() const {
    std::string result;
    const int32_t count = Count();
    for (int32_t index = 0; index < count; ++index) {
        result += Get(index);
        result += "\r\n";
    }
    return result;
}

void TStrings::SetText(const std::string& text) {
    TStringsChangeHold hold(*this);
    Clear();
    static const std::string kLineStops("\r\n\0", 3);
    const size_t end = text.size();
    size_t index = 0;
    while (index < end && text[index] != '\0') {
        const size_t lineEnd = text.find_first_of(kLineStops, index);
        const size_t stop = lineEnd == std::string::npos ? end : lineEnd;
        Add(text.substr(index, stop - index));
        index = stop;
        if (index < end && text[index] == '\r') {
            ++index;
        }
        if (index < end && text[index] == '\n') {
            ++index;
        }
    }
}

void TStrings::LoadLines(const std::string& fileName) {
    std::string content;
    if (const int error = platform::ReadWholeFile(fileName, content); error != 0) {
        throw EFOpenError(Format("ファイル \"%s\". %s は開けません", platform::FullPathName(fileName).c_str(),
                                 platform::FileErrorText(error).c_str()));
    }
    SetText(content);
}

void TStrings::SaveLines(const std::string& fileName, uint32_t newFileMode) const {
    if (const int error = platform::ReplaceFileContent(fileName, GetText(), newFileMode); error != 0) {
        throw EFCreateError(Format("ファイル \"%s\". %s を作成できません", platform::FullPathName(fileName).c_str(),
                                   platform::FileErrorText(error).c_str()));
    }
}

void TStrings::HoldChanges() {
    if (updateCount_ == 0) {
        SetUpdateState(true);
    }
    ++updateCount_;
}

void TStrings::ReleaseChanges() {
    if (updateCount_ == 0) {
        return;
    }
    --updateCount_;
    if (updateCount_ == 0) {
        SetUpdateState(false);
    }
}

void TStrings::SetUpdateState(bool /*updating*/) {}

void TStrings::RaiseIndexError(int32_t index) {
    throw EStringListError(Format("リストのインデックスが範囲を超えています (%d)", index));
}

}  // namespace quorvane
