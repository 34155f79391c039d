#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "rtl/object.h"

namespace quorvane {

class TStrings;

// Change listeners of a list: told before and after every change of its content, but only
// outside a HoldChanges/ReleaseChanges batch; a batch as a whole is reported once.
using TStringsChangeEvent = std::function<void(TStrings& sender)>;

// An ordered list of text items with attached objects. This base carries the conversions
// between a list and one text (comma text, line text, whole files); TStringList adds the
// storage. Indexes are 0-based.
class TStrings : public TObject {
public:
    TStrings() = default;
    ~TStrings() override = default;
    TStrings(const TStrings&) = delete;
    TStrings& operator=(const TStrings&) = delete;

    virtual int32_t Count() const = 0;
    // Index outside 0..Count-1 raises EStringListError.
    virtual std::string Get(int32_t index) const = 0;
    virtual void Put(int32_t index, const std::string& text);
    virtual TObject* GetObject(int32_t index) const;
    virtual void PutObject(int32_t index, TObject* object);

    // Appends and returns the new item's index.
    virtual int32_t Add(const std::string& text);
    int32_t AddObject(const std::string& text, TObject* object);
    // Index outside 0..Count raises EStringListError.
    virtual void Insert(int32_t index, const std::string& text) = 0;
    void InsertObject(int32_t index, const std::string& text, TObject* object);
    virtual void Delete(int32_t index) = 0;
    virtual void Clear() = 0;

    // Replaces this list's items and objects by those of the source.
    virtual void Assign(const TStrings& source);
    void AddStrings(const TStrings& source);

    // Index of the first item equal to the text under the locale's comparison ignoring case,
    // -1 when none (lists that know better override it).
    virtual int32_t LocateItem(const std::string& text) const;
    // Index of the first item whose name equals the given name in the same sense, -1 if none.
    virtual int32_t LocateName(const std::string& name) const;

    // An item's name is its text before the first "="; empty when the item has no "=".
    std::string Name(int32_t index) const;
    static std::string NameOf(const std::string& item);

    // Comma text: items separated by commas, quoted with double quotes where needed.
    std::string JoinCommaText() const;
    void SplitCommaText(const std::string& value);

    // Line text: every item followed by CR LF. Setting it splits at CR LF, CR or LF and stops
    // at the end or at a code 0.
    std::string GetText() const;
    virtual void SetText(const std::string& text);

    // LoadLines raises EFOpenError, SaveLines EFCreateError; SaveLines replaces the file as a
    // whole (see platform::ReplaceFileContent), so a failed save leaves the old file intact.
    void LoadLines(const std::string& fileName);
    // A file that is new gets newFileMode, less the umask.
    void SaveLines(const std::string& fileName, uint32_t newFileMode = 0666) const;

    void HoldChanges();
    void ReleaseChanges();
    int32_t UpdateCount() const noexcept { return updateCount_; }

    // Separator characters of the list; the comma-text conversions use comma and double
    // quote whatever is set here, and names always end at "=".
    char Delimiter() const noexcept { return delimiter_; }
    void SetDelimiter(char value) noexcept { delimiter_ = value; }
    char QuoteChar() const noexcept { return quoteChar_; }
    void SetQuoteChar(char value) noexcept { quoteChar_ = value; }
    char NameValueSeparator() const noexcept { return '='; }

protected:
    // Called when a batch starts (true) and when it ends (false).
    virtual void SetUpdateState(bool updating);

    // Raises EStringListError for the given index.
    [[noreturn]] static void RaiseIndexError(int32_t index);

private:
    int32_t updateCount_ = 0;
    char delimiter_ = ',';
    char quoteChar_ = '"';
};

// Holds a list's change notification for a scope, so that an exception cannot leave the
// batch open.
class TStringsChangeHold {
public:
    explicit TStringsChangeHold(TStrings& strings) : strings_(strings) { strings_.HoldChanges(); }
    ~TStringsChangeHold() { strings_.ReleaseChanges(); }
    TStringsChangeHold(const TStringsChangeHold&) = delete;
    TStringsChangeHold& operator=(const TStringsChangeHold&) = delete;

private:
    TStrings& strings_;
};

}  // namespace quorvane
