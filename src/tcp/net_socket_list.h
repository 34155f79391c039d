#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "tcp/net_stack.h"

namespace quorvane {

// A set of socket descriptors for servers (the client never needs one).
class TNetSocketList {
public:
    virtual ~TNetSocketList() = default;

    // A list of the platform's kind (TNetSocketListWindows).
    static std::unique_ptr<TNetSocketList> CreateSocketList();

    virtual void Add(TNetSocket descriptor) = 0;
    // Removes the first occurrence; the last descriptor moves into its place.
    virtual void Remove(TNetSocket descriptor) = 0;
    virtual void Clear() = 0;
    virtual int32_t Count() const = 0;
    virtual bool Contains(TNetSocket descriptor) const = 0;
    // Index outside 0..Count-1 raises ENetStackSetSizeExceeded.
    virtual TNetSocket Item(int32_t index) const = 0;
};

// A count and an array of up to 64 descriptors, as the library's descriptor set holds them.
class TNetSocketListWindows : public TNetSocketList {
public:
    static constexpr int32_t Capacity = 64;

    // A 65th descriptor raises ENetStackSetSizeExceeded ("Set Size Exceeded.").
    void Add(TNetSocket descriptor) override;
    void Remove(TNetSocket descriptor) override;
    void Clear() override { count_ = 0; }
    int32_t Count() const override { return count_; }
    bool Contains(TNetSocket descriptor) const override;
    TNetSocket Item(int32_t index) const override;

private:
    int32_t count_ = 0;
    std::array<TNetSocket, Capacity> descriptors_{};
};

}  // namespace quorvane
