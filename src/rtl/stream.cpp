#include "rtl/stream.h"

#include <algorithm>
#include <cstring>

#include "rtl/exception.h"

namespace quorvane {

namespace {

int64_t ClampedSeek(int64_t offset, TSeekOrigin origin, int64_t position, int64_t size) {
    int64_t target = offset;
    if (origin == TSeekOrigin::soCurrent) {
        target = position + offset;
    } else if (origin == TSeekOrigin::soEnd) {
        target = size + offset;
    }
    return std::max<int64_t>(target, 0);
}

}  // namespace

int64_t TStream::Size() {
    const int64_t position = Seek(0, TSeekOrigin::soCurrent);
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(position, TSeekOrigin::soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
    if (count != 0 && Read(buffer, count) != count) {
        throw EStreamError("Stream read error");
    }
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
    if (count != 0 && Write(buffer, count) != count) {
        throw EStreamError("Stream write error");
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const int64_t total = count;
    char block[65536];
    while (count > 0) {
        const int32_t piece = static_cast<int32_t>(std::min<int64_t>(count, sizeof block));
        source.ReadBuffer(block, piece);
        WriteBuffer(block, piece);
        count -= piece;
    }
    return total;
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || position_ >= size_) {
        return 0;
    }
    const int32_t available = static_cast<int32_t>(std::min<int64_t>(size_ - position_, count));
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(available));
    position_ += available;
    return available;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) {
        return 0;
    }
    const int64_t end = position_ + count;
    if (end > size_) {
        if (end > Capacity()) {
            // Grow geometrically so that appending byte by byte stays linear.
            SetCapacity(std::max<int64_t>(end, Capacity() + Capacity() / 2));
        }
        size_ = end;
    }
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    position_ = ClampedSeek(offset, origin, position_, size_);
    return position_;
}

void TMemoryStream::SetSize(int64_t newSize) {
    newSize = std::max<int64_t>(newSize, 0);
    if (newSize > Capacity()) {
        SetCapacity(newSize);
    }
    if (newSize > size_) {
        std::memset(data_.data() + size_, 0, static_cast<size_t>(newSize - size_));
    }
    size_ = newSize;
    position_ = std::min(position_, size_);
}

void TMemoryStream::Clear() {
    std::vector<char>().swap(data_);
    size_ = 0;
    position_ = 0;
}

void TMemoryStream::SetCapacity(int64_t newCapacity) {
    data_.resize(static_cast<size_t>(newCapacity));
}

TStringStream::TStringStream(const std::string& text) {
    WriteString(text);
    SetPosition(0);
}

int32_t TReadOnlyMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || position_ >= size_) {
        return 0;
    }
    const int32_t available = static_cast<int32_t>(std::min<int64_t>(size_ - position_, count));
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(available));
    position_ += available;
    return available;
}

int32_t TReadOnlyMemoryStream::Write(const void*, int32_t) {
    throw EStreamError("Can't write to a read-only memory stream");
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    position_ = ClampedSeek(offset, origin, position_, size_);
    return position_;
}

void TReadOnlyMemoryStream::SetSize(int64_t) {
    throw EStreamError("Can't change the size of a read-only memory stream");
}

}  // namespace quorvane
