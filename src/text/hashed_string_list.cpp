#include "text/hashed_string_list.h"

#include "platform/code_page.h"
#include "platform/locale_text.h"

namespace quorvane {

namespace {

bool HasNameSeparator(const std::string& text) {
    for (size_t index = 0; index < text.size(); index += platform::CharLength(text, index)) {
        if (text[index] == '=') {
            return true;
        }
    }
    return false;
}

}  // namespace

void THashedStringList::HashTable::Invalidate() {
    valid = false;
    heads.clear();
    next.clear();
    keys.clear();
}

int32_t THashedStringList::HashTable::Find(const std::string& key) const {
    for (int32_t entry = heads[HashOf(key) % kBucketCount]; entry >= 0; entry = next[static_cast<size_t>(entry)]) {
        if (keys[static_cast<size_t>(entry)] == key) {
            return entry;
        }
    }
    return -1;
}

uint32_t THashedStringList::HashOf(const std::string& text) noexcept {
    uint32_t hash = 0;
    for (const char ch : text) {
        hash = ((hash << 2) | (hash >> 30)) ^ static_cast<unsigned char>(ch);
    }
    return hash;
}

int32_t THashedStringList::LocateItem(const std::string& text) const {
    if (!itemHash_.valid) {
        BuildHash(itemHash_, false);
    }
    return itemHash_.Find(KeyOf(text));
}

int32_t THashedStringList::LocateName(const std::string& name) const {
    if (!nameHash_.valid) {
        BuildHash(nameHash_, true);
    }
    return nameHash_.Find(KeyOf(name));
}

void THashedStringList::SetCaseSensitive(bool value) {
    if (value != CaseSensitive()) {
        TStringList::SetCaseSensitive(value);
        // The keys were built for the other comparison.
        itemHash_.Invalidate();
        nameHash_.Invalidate();
    }
}

void THashedStringList::Changed() {
    TStringList::Changed();
    itemHash_.Invalidate();
    nameHash_.Invalidate();
}

std::string THashedStringList::KeyOf(const std::string& text) const {
    return CaseSensitive() ? text : platform::AnsiUpperCase(text);
}

void THashedStringList::BuildHash(HashTable& table, bool byName) const {
    const int32_t count = Count();
    table.heads.assign(kBucketCount, -1);
    table.next.assign(static_cast<size_t>(count), -1);
    table.keys.resize(static_cast<size_t>(count));
    // Entries go in front of their chains in index order, so the highest index of equal
    // texts is met first.
    for (int32_t index = 0; index < count; ++index) {
        const std::string& item = At(index);
        // A line without "=" is no key line and must never answer a key, not even "".
        if (byName && !HasNameSeparator(item)) {
            continue;
        }
        std::string key = byName ? KeyOf(NameOf(item)) : KeyOf(item);
        const uint32_t bucket = HashOf(key) % kBucketCount;
        table.next[static_cast<size_t>(index)] = table.heads[bucket];
        table.heads[bucket] = index;
        table.keys[static_cast<size_t>(index)] = std::move(key);
    }
    table.valid = true;
}

}  // namespace quorvane
