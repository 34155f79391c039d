#include "http/net_header_list.h"

#include <cstddef>

#include "http/net_uri.h"
#include "platform/code_page.h"
#include "platform/locale_text.h"
#include "text/blank_text.h"

namespace quorvane {

namespace {

void TrimInPlace(std::string& text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.pop_back();
    }
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) {
        ++first;
    }
    if (first > 0) {
        text.erase(0, first);
    }
}

bool IsContinuation(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

// The text from 1-based position `first` through `last` (inclusive), clipped to the line.
std::string Slice(const std::string& line, int64_t first, int64_t last) {
    if (first < 1) {
        first = 1;
    }
    if (last > static_cast<int64_t>(line.size())) {
        last = static_cast<int64_t>(line.size());
    }
    if (last < first) {
        return std::string();
    }
    return line.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

}  // namespace

std::string WrapForFold(const std::string& line, const std::string& breakText, const std::string& breakChars,
                        int32_t maxCol) {
    // Positions are 1-based as in the rules this mirrors; line[pos - 1] is the character at pos.
    const int64_t length = static_cast<int64_t>(line.size());
    const int64_t breakLength = static_cast<int64_t>(breakText.size());
    const auto isBreakChar = [&breakChars](char ch) { return breakChars.find(ch) != std::string::npos; };

    int64_t col = 1;
    int64_t pos = 1;
    int64_t lineStart = 1;
    int64_t breakAt = 0;
    bool quoteOpen = false;
    bool existing = false;
    std::string result;
    result.reserve(line.size());

    while (pos <= length) {
        const char ch = line[static_cast<size_t>(pos - 1)];
        if (platform::IsLeadByte(ch)) {
            // The pair is one character of two columns; its trail byte is never a break.
            ++pos;
            ++col;
        } else if (breakLength > 0 && ch == breakText[0]) {
            if (!quoteOpen) {
                existing = SameAsciiTextAt(line, static_cast<size_t>(pos - 1), breakText);
                if (existing) {
                    pos += breakLength - 1;
                    breakAt = pos;
                }
            }
        } else if (isBreakChar(ch)) {
            if (!quoteOpen) {
                breakAt = pos;
            }
        } else if (ch == '"') {
            quoteOpen = !quoteOpen;
        }
        ++pos;
        ++col;
        if (quoteOpen) {
            continue;
        }
        if (existing || (col > maxCol && breakAt > lineStart)) {
            col = pos - breakAt;
            result += Slice(line, lineStart, breakAt);
            if (ch != '"') {
                while (pos <= length) {
                    const char next = line[static_cast<size_t>(pos - 1)];
                    if (!isBreakChar(next) && next != '\r' && next != '\n') {
                        break;
                    }
                    ++pos;
                }
            }
            if (!existing && pos < length) {
                result += breakText;
            }
            ++breakAt;
            lineStart = breakAt;
            existing = false;
        }
    }
    result += Slice(line, lineStart, length);
    return result;
}

std::string TNetHeaderList::NameEnd() const { return TrimRight(Separator); }

std::string TNetHeaderList::NameAt(int32_t index) const {
    const std::string& line = At(index);
    const int32_t end = SubPos(NameEnd(), line);
    if (end <= 0) {
        return std::string();
    }
    std::string name = line.substr(0, static_cast<size_t>(end - 1));
    return NamesCaseSensitive ? name : AsciiUpperCase(name);
}

std::string TNetHeaderList::ValueAt(int32_t index) const {
    if (index < 0 || index >= Count()) {
        return std::string();
    }
    const std::string& line = At(index);
    const std::string nameEnd = NameEnd();
    const int32_t end = SubPos(nameEnd, line);
    // Without a separator the name is empty and the value starts after the first character,
    // as it would after a one-character separator.
    const size_t valueStart = end > 0 ? static_cast<size_t>(end - 1) + nameEnd.size() : 1;
    std::string value = valueStart < line.size() ? line.substr(valueStart) : std::string();
    if (UnfoldOnRead) {
        // Trimmed in place and appended to, so that a header of thousands of continuation
        // lines is joined in linear time.
        for (int32_t next = index + 1; next < Count(); ++next) {
            const std::string& continuation = At(next);
            if (!IsContinuation(continuation)) {
                break;
            }
            TrimInPlace(value);
            value += ' ';
            value += Trim(continuation);
        }
    }
    TrimInPlace(value);
    return value;
}

int32_t TNetHeaderList::FindName(const std::string& name) const {
    for (int32_t index = 0; index < Count(); ++index) {
        if (platform::AnsiSameText(NameAt(index), name)) {
            return index;
        }
    }
    return -1;
}

std::string TNetHeaderList::ValueOf(const std::string& name) const { return ValueAt(FindName(name)); }

void TNetHeaderList::PutValue(const std::string& name, const std::string& value) {
    int32_t index = FindName(name);
    if (value.empty()) {
        if (index >= 0) {
            if (FoldOnWrite) {
                DropContinuations(index);
            }
            Delete(index);
        }
        return;
    }
    if (index < 0) {
        index = Add(std::string());
    }
    if (FoldOnWrite) {
        DropContinuations(index);
        StoreFolded(name + Separator + value, index);
    } else {
        Put(index, name + Separator + value);
    }
}

void TNetHeaderList::CollectValues(const std::string& name, TStringList* destination) const {
    if (destination == nullptr) {
        return;
    }
    for (int32_t index = 0; index < Count(); ++index) {
        if (platform::AnsiSameText(NameAt(index), name)) {
            destination->Add(ValueAt(index));
        }
    }
}

void TNetHeaderList::DropContinuations(int32_t index) {
    if (index < 0) {
        return;
    }
    while (index + 1 < Count() && IsContinuation(At(index + 1))) {
        Delete(index + 1);
    }
}

void TNetHeaderList::StoreFolded(const std::string& line, int32_t index) {
    const std::vector<std::string> pieces = SplitForFolding(line);
    if (pieces.empty()) {
        Put(index, std::string());
        return;
    }
    // The pieces go in front to back after the first: the same final order as inserting them
    // all at `index`, but a header appended at the end then only appends, so a value folded
    // into thousands of lines does not shift the list once per line.
    Put(index, pieces.front());
    for (size_t piece = 1; piece < pieces.size(); ++piece) {
        Insert(index + static_cast<int32_t>(piece), pieces[piece]);
    }
}

std::vector<std::string> TNetHeaderList::SplitForFolding(const std::string& line) const {
    // Cut at each CR LF the way TakeToken would, but by moving an index instead of erasing the
    // front of the text, so that a huge value with many breaks stays linear.
    const std::string wrapped = WrapForFold(line, "\r\n ", "\t ,", FoldLength);
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < wrapped.size()) {
        size_t index = start;
        while (index < wrapped.size() && !(wrapped[index] == '\r' && index + 1 < wrapped.size() &&
                                           wrapped[index + 1] == '\n')) {
            index += platform::CharLength(wrapped, index);
        }
        const size_t end = index < wrapped.size() ? index : wrapped.size();
        pieces.push_back(TrimRight(wrapped.substr(start, end - start)));
        start = end + 2;
    }
    return pieces;
}

}  // namespace quorvane
