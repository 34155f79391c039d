#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "rtl/stream.h"

namespace quorvane {

// A growable byte stream whose front can be consumed. The removal hook hears of every byte
// count taken from the front (the connection counts read progress with it).
class TNetSimpleBuffer : public TMemoryStream {
public:
    using TRemoveHook = std::function<void(TNetSimpleBuffer& buffer, int32_t count)>;

    explicit TNetSimpleBuffer(TRemoveHook onRemove = nullptr) : onRemove_(std::move(onRemove)) {}

    // Size as a 32-bit count (buffers never hold more than a 32-bit count of bytes).
    int32_t Count() { return static_cast<int32_t>(Size()); }

    // The first byte of the visible data.
    virtual char* Data() { return Memory(); }

    // Removes the first count bytes; more than the size raises ENetNotEnoughDataInBuffer.
    virtual void DropFront(int32_t count);
    // Returns the first count bytes as text and removes them (same check as DropFront).
    std::string TakeFront(int32_t count);
    // Appends bytes at the end, wherever the position stands; the position ends there.
    void Append(const void* data, int32_t count);
    // Empties the buffer and releases its memory.
    virtual void Clear();

protected:
    void NotifyRemoved(int32_t count);
    void CheckAvailable(int32_t count);

private:
    TRemoveHook onRemove_;
};

}  // namespace quorvane
