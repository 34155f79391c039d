#pragma once

#include <cstdint>

#include "tcp/net_simple_buffer.h"

namespace quorvane {

// A buffer whose front is consumed by advancing a prefix count instead of moving bytes: the
// remaining bytes move to the front only once PackThreshold bytes have been consumed, so
// taking many short lines out of one large receive stays linear. Size, position and seeking
// are all relative to the first unconsumed byte.
class TNetManagedBuffer : public TNetSimpleBuffer {
public:
    using TNetSimpleBuffer::TNetSimpleBuffer;

    int32_t PackThreshold() const noexcept { return packThreshold_; }
    void SetPackThreshold(int32_t value) noexcept { packThreshold_ = value; }
    int32_t ConsumedCount() const noexcept { return consumedCount_; }

    char* Data() override { return Memory() + consumedCount_; }
    void DropFront(int32_t count) override;
    void Clear() override;

    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return TNetSimpleBuffer::Size() - consumedCount_; }
    void SetSize(int64_t newSize) override;

private:
    // Moves the unconsumed bytes to the front and forgets the prefix.
    void Pack();

    int32_t packThreshold_ = 32768;
    int32_t consumedCount_ = 0;
};

}  // namespace quorvane
