#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/string_list.h"

namespace quorvane {

// The header lines of one HTTP message, one physical line per item, without line ends. A
// header is "Name" + Separator + "value", possibly followed by continuation lines (non-empty
// lines that begin with a space or a TAB). Names compare without regard to case; values are
// folded into continuation lines when written and joined again when read. The list never
// sorts and never merges duplicate names: the plain list operations of TStringList stay.
class TNetHeaderList : public TStringList {
public:
    TNetHeaderList() = default;

    // The name of line `index`: its text before the first ":" (empty when there is none),
    // upper-cased (ASCII) unless NamesCaseSensitive.
    std::string NameAt(int32_t index) const;

    // The value of line `index` with its continuation lines joined by single spaces (when
    // UnfoldOnRead), trimmed; empty for an index outside the list.
    std::string ValueAt(int32_t index) const;

    // Index of the first line whose name equals `name` ignoring case; -1 when none.
    int32_t FindName(const std::string& name) const;

    // ValueAt(FindName(name)).
    std::string ValueOf(const std::string& name) const;

    // Replaces the first header of that name in place (with its continuation lines) or appends
    // a new one; an empty value deletes the first header of that name.
    void PutValue(const std::string& name, const std::string& value);

    // Adds the value of every header of that name, in order, to `destination` (if given).
    void CollectValues(const std::string& name, TStringList* destination) const;

    // Deletes the continuation lines that follow line `index`.
    void DropContinuations(int32_t index);

    // Writes `line` folded at FoldLength into line `index` and new lines inserted after it.
    void StoreFolded(const std::string& line, int32_t index);

    // The pieces of `line` folded at FoldLength: the first is the header line, each further
    // one begins with a space.
    std::vector<std::string> SplitForFolding(const std::string& line) const;

    std::string Separator = ": ";
    bool NamesCaseSensitive = false;
    bool UnfoldOnRead = true;
    bool FoldOnWrite = true;
    int32_t FoldLength = 78;

private:
    // The separator without its trailing blanks (":"): where a line's name ends.
    std::string NameEnd() const;
};

// Inserts `breakText` after break characters of `line` so that no piece passes `maxCol`
// columns where that can be helped: a run without break characters is never broken, text in
// double quotes is never broken, and breaks already present (`breakText` itself) are kept.
std::string WrapForFold(const std::string& line, const std::string& breakText, const std::string& breakChars,
                        int32_t maxCol);

}  // namespace quorvane
