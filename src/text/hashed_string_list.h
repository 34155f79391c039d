#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/string_list.h"

namespace quorvane {

// A string list whose look-ups go through two hash tables of 256 buckets, one over the
// item texts and one over the item names. The tables are built on the first look-up after a
// change and dropped by every change. Of several equal texts (or names) the look-ups find
// the one with the highest index, which for a file is the one nearest its end.
//
// Look-ups are const but fill the tables, so a list must not be searched from two threads
// at once.
class THashedStringList : public TStringList {
public:
    static constexpr uint32_t kBucketCount = 256;

    THashedStringList() = default;

    int32_t LocateItem(const std::string& text) const override;
    // Only items that contain "=" have a name that can be found.
    int32_t LocateName(const std::string& name) const override;

    void SetCaseSensitive(bool value) override;

    // The hash of a text: from 0, for each byte in order rotate left by 2 bits and XOR the
    // byte in.
    static uint32_t HashOf(const std::string& text) noexcept;

protected:
    void Changed() override;

private:
    struct HashTable {
        bool valid = false;
        std::vector<int32_t> heads;   // kBucketCount chain heads, -1 for an empty bucket
        std::vector<int32_t> next;    // per item: the next entry of its chain, -1 at the end
        std::vector<std::string> keys;  // per item: its hashed text (empty when not entered)

        void Invalidate();
        int32_t Find(const std::string& key) const;
    };

    std::string KeyOf(const std::string& text) const;
    // Fills `table` from the items, or from the names of the items that have one.
    void BuildHash(HashTable& table, bool byName) const;

    mutable HashTable itemHash_;
    mutable HashTable nameHash_;
};

}  // namespace quorvane
