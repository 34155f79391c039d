#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/strings.h"

namespace quorvane {

// The list storage: one contiguous array of text and object pairs. Attached objects are
// carried, never owned.
class TStringList : public TStrings {
public:
    TStringList() = default;
    ~TStringList() override = default;

    int32_t Count() const override { return static_cast<int32_t>(items_.size()); }
    std::string Get(int32_t index) const override;
    void Put(int32_t index, const std::string& text) override;
    TObject* GetObject(int32_t index) const override;
    void PutObject(int32_t index, TObject* object) override;

    // Read access without a copy; same index rule as Get.
    const std::string& At(int32_t index) const;

    int32_t Add(const std::string& text) override;
    void Insert(int32_t index, const std::string& text) override;
    void Delete(int32_t index) override;
    // Removes all items and releases the array (the capacity drops to zero).
    void Clear() override;

    int32_t LocateItem(const std::string& text) const override;
    int32_t LocateName(const std::string& name) const override;

    // Slots reserved; a full array grows by 4 while the capacity is at most 8, by 16 while it
    // is at most 64, and by a quarter above that.
    int32_t Capacity() const noexcept { return capacity_; }
    void SetCapacity(int32_t capacity);

    // Off when created; decides whether LocateItem/LocateName ignore letter case.
    bool CaseSensitive() const noexcept { return caseSensitive_; }
    virtual void SetCaseSensitive(bool value);

    // Change listeners (see TStringsChangeEvent).
    TStringsChangeEvent OnChange;
    TStringsChangeEvent OnChanging;

protected:
    // Called after every change of content; tells OnChange outside a batch. Lists that keep
    // look-up tables over the items override it to drop them.
    virtual void Changed();
    virtual void Changing();
    void SetUpdateState(bool updating) override;

    // Compares two texts the way this list's look-ups do.
    bool SameItemText(const std::string& a, const std::string& b) const;

private:
    struct Item {
        std::string text;
        TObject* object = nullptr;
    };

    void Grow();
    void CheckIndex(int32_t index) const;

    std::vector<Item> items_;
    int32_t capacity_ = 0;
    bool caseSensitive_ = false;
};

}  // namespace quorvane
