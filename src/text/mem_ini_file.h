#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "text/hashed_string_list.h"

namespace quorvane {

// Base of the settings stores: the file name and the integer reads and writes built on the
// text reads and writes of the derived class.
class TCustomIniFile : public TObject {
public:
    explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
    ~TCustomIniFile() override = default;
    TCustomIniFile(const TCustomIniFile&) = delete;
    TCustomIniFile& operator=(const TCustomIniFile&) = delete;

    const std::string& FileName() const noexcept { return fileName_; }

    virtual std::string ReadText(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const = 0;
    virtual void StoreText(const std::string& section, const std::string& key, const std::string& value) = 0;

    // The key's value as a 32-bit integer ("0x"/"$" hexadecimal allowed), or the default for
    // a missing key, an empty value, any text that is no such number, or one out of range.
    int32_t ReadNumber(const std::string& section, const std::string& key, int32_t defaultValue) const;
    void StoreNumber(const std::string& section, const std::string& key, int32_t value);

    // The number rule of ReadNumber on its own: leading spaces, an optional sign, then decimal
    // digits or "$"/"x"/"0x" and hexadecimal digits; nothing may follow.
    static std::optional<int32_t> ParseNumber(const std::string& text);

private:
    std::string fileName_;
};

// The settings file held in memory: read completely when created, queried and changed in
// memory, and written completely by WriteBack. Section and key names match ignoring case
// unless SetMatchCase(true); of several sections or keys of one name the last one counts.
class TMemIniFile : public TCustomIniFile {
public:
    // Loads the file when the name is not empty and the file exists; raises EFOpenError when
    // it exists but cannot be read.
    explicit TMemIniFile(std::string fileName);
    ~TMemIniFile() override;

    bool MatchCase() const noexcept { return matchCase_; }
    void SetMatchCase(bool value);

    bool HasKey(const std::string& section, const std::string& key) const;
    std::string ReadText(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const override;
    void StoreText(const std::string& section, const std::string& key, const std::string& value) override;
    // StoreText, and every earlier line of the key removed: a value that replaces another must
    // not leave an older one behind to come back once it is removed in turn.
    void StoreSoleText(const std::string& section, const std::string& key, const std::string& value);
    // Removes every line of the key whose value `which` accepts (every line of it when `which`
    // is empty); returns how many went.
    int32_t DeleteKey(const std::string& section, const std::string& key,
                      const std::function<bool(const std::string& value)>& which = {});
    // The section's lines as stored ("name=value" and bare lines); empty when it is missing.
    std::vector<std::string> SectionLines(const std::string& section) const;

    // Every section of the name, in file order, with its name as written and its lines; the
    // last one is the one all the other calls use.
    struct TSectionText {
        std::string Name;
        std::vector<std::string> Lines;
    };
    std::vector<TSectionText> SectionsNamed(const std::string& section) const;

    // Writes every section with its lines and one empty line after each; raises
    // EFCreateError when the file cannot be written, leaving the old file as it was.
    void WriteBack() const;

    // The whole store as the line list WriteBack saves.
    void CollectLines(TStrings& lines) const;

    // Drops every section.
    void Clear();

    // Builds the store from lines of file text (replacing what it held).
    void LoadFromLines(const TStrings& lines);

private:
    THashedStringList* FindSection(const std::string& section) const;
    bool SameName(const std::string& a, const std::string& b) const;
    THashedStringList& AddSection(const std::string& section);

    THashedStringList sections_;
    std::vector<std::unique_ptr<THashedStringList>> sectionLists_;
    bool matchCase_ = false;
};

}  // namespace quorvane
