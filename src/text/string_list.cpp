#include "text/string_list.h"

#include "platform/locale_text.h"

namespace quorvane {

std::string TStringList::Get(int32_t index) const { return At(index); }

const std::string& TStringList::At(int32_t index) const {
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].text;
}

void TStringList::Put(int32_t index, const std::string& text) {
    CheckIndex(index);
    Changing();
    items_[static_cast<size_t>(index)].text = text;
    Changed();
}

TObject* TStringList::GetObject(int32_t index) const {
    CheckIndex(index);
    return items_[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int32_t index, TObject* object) {
    CheckIndex(index);
    Changing();
    items_[static_cast<size_t>(index)].object = object;
    Changed();
}

int32_t TStringList::Add(const std::string& text) {
    const int32_t index = Count();
    Insert(index, text);
    return index;
}

void TStringList::Insert(int32_t index, const std::string& text) {
    if (index < 0 || index > Count()) {
        RaiseIndexError(index);
    }
    Changing();
    if (Count() == capacity_) {
        Grow();
    }
    items_.insert(items_.begin() + index, Item{text, nullptr});
    Changed();
}

void TStringList::Delete(int32_t index) {
    CheckIndex(index);
    Changing();
    items_.erase(items_.begin() + index);
    Changed();
}

void TStringList::Clear() {
    // An empty list has nothing to report, but still gives its slots back.
    const bool hadItems = !items_.empty();
    if (hadItems) {
        Changing();
    }
    std::vector<Item>().swap(items_);
    capacity_ = 0;
    if (hadItems) {
        Changed();
    }
}

int32_t TStringList::LocateItem(const std::string& text) const {
    const int32_t count = Count();
    for (int32_t index = 0; index < count; ++index) {
        if (SameItemText(items_[static_cast<size_t>(index)].text, text)) {
            return index;
        }
    }
    return -1;
}

int32_t TStringList::LocateName(const std::string& name) const {
    const int32_t count = Count();
    for (int32_t index = 0; index < count; ++index) {
        const std::string& item = items_[static_cast<size_t>(index)].text;
        if (item.size() > name.size() && item[name.size()] == '=' && SameItemText(NameOf(item), name)) {
            return index;
        }
    }
    return -1;
}

void TStringList::SetCapacity(int32_t capacity) {
    if (capacity < Count()) {
        RaiseIndexError(capacity);
    }
    if (capacity == capacity_) {
        return;
    }
    if (capacity < capacity_) {
        std::vector<Item> smaller;
        smaller.reserve(static_cast<size_t>(capacity));
        for (Item& item : items_) {
            smaller.push_back(std::move(item));
        }
        items_.swap(smaller);
    } else {
        items_.reserve(static_cast<size_t>(capacity));
    }
    capacity_ = capacity;
}

void TStringList::SetCaseSensitive(bool value) { caseSensitive_ = value; }

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) {
        OnChange(*this);
    }
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) {
        OnChanging(*this);
    }
}

void TStringList::SetUpdateState(bool updating) {
    if (updating) {
        Changing();
    } else {
        Changed();
    }
}

bool TStringList::SameItemText(const std::string& a, const std::string& b) const {
    return caseSensitive_ ? a == b : platform::AnsiSameText(a, b);
}

void TStringList::Grow() {
    int32_t delta = 4;
    if (capacity_ > 64) {
        delta = capacity_ / 4;
    } else if (capacity_ > 8) {
        delta = 16;
    }
    SetCapacity(capacity_ + delta);
}

void TStringList::CheckIndex(int32_t index) const {
    if (index < 0 || index >= Count()) {
        RaiseIndexError(index);
    }
}

}  // namespace quorvane
