#include "tcp/net_managed_buffer.h"

#include <algorithm>
#include <cstring>

#include "tcp/net_exception.h"

namespace quorvane {

void TNetManagedBuffer::DropFront(int32_t count) {
    // Qualified calls: this runs once per line read, so it stays clear of virtual dispatch.
    const int64_t visible = TNetSimpleBuffer::Size() - consumedCount_;
    if (count > visible) {
        throw ENetNotEnoughDataInBuffer("Not enough data in buffer.");
    }
    if (count <= 0) {
        return;
    }
    if (count == visible) {
        Clear();
    } else {
        const int64_t position = TNetSimpleBuffer::Seek(0, TSeekOrigin::soCurrent) - consumedCount_;
        consumedCount_ += count;
        // Keep the position on the same byte, or on the new start when it was consumed.
        TNetSimpleBuffer::Seek(consumedCount_ + std::max<int64_t>(position - count, 0), TSeekOrigin::soBeginning);
        if (consumedCount_ >= packThreshold_) {
            Pack();
        }
    }
    NotifyRemoved(count);
}

void TNetManagedBuffer::Clear() {
    consumedCount_ = 0;
    TNetSimpleBuffer::Clear();
}

void TNetManagedBuffer::Pack() {
    const int64_t position = Position();
    const int64_t visible = Size();
    std::memmove(Memory(), Memory() + consumedCount_, static_cast<size_t>(visible));
    consumedCount_ = 0;
    TNetSimpleBuffer::SetSize(visible);
    TNetSimpleBuffer::Seek(position, TSeekOrigin::soBeginning);
}

int64_t TNetManagedBuffer::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t target = offset;
    if (origin == TSeekOrigin::soCurrent) {
        target = TNetSimpleBuffer::Seek(0, TSeekOrigin::soCurrent) - consumedCount_ + offset;
    } else if (origin == TSeekOrigin::soEnd) {
        target = Size() + offset;
    }
    target = std::max<int64_t>(target, 0);
    return TNetSimpleBuffer::Seek(target + consumedCount_, TSeekOrigin::soBeginning) - consumedCount_;
}

void TNetManagedBuffer::SetSize(int64_t newSize) {
    TNetSimpleBuffer::SetSize(std::max<int64_t>(newSize, 0) + consumedCount_);
}

}  // namespace quorvane
