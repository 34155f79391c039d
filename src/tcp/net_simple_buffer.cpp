#include "tcp/net_simple_buffer.h"

#include <algorithm>
#include <cstring>

#include "tcp/net_exception.h"

namespace quorvane {

void TNetSimpleBuffer::CheckAvailable(int32_t count) {
    if (count > Size()) {
        throw ENetNotEnoughDataInBuffer("Not enough data in buffer.");
    }
}

void TNetSimpleBuffer::NotifyRemoved(int32_t count) {
    if (onRemove_) {
        onRemove_(*this, count);
    }
}

void TNetSimpleBuffer::DropFront(int32_t count) {
    CheckAvailable(count);
    if (count <= 0) {
        return;
    }
    const int64_t size = Size();
    if (count == size) {
        Clear();
    } else {
        const int64_t position = Position();
        std::memmove(Memory(), Memory() + count, static_cast<size_t>(size - count));
        SetSize(size - count);
        SetPosition(std::max<int64_t>(position - count, 0));
    }
    NotifyRemoved(count);
}

std::string TNetSimpleBuffer::TakeFront(int32_t count) {
    CheckAvailable(count);
    if (count <= 0) {
        return std::string();
    }
    std::string result(Data(), static_cast<size_t>(count));
    DropFront(count);
    return result;
}

void TNetSimpleBuffer::Append(const void* data, int32_t count) {
    Seek(0, TSeekOrigin::soEnd);
    WriteBuffer(data, count);
}

void TNetSimpleBuffer::Clear() { TMemoryStream::Clear(); }

}  // namespace quorvane
