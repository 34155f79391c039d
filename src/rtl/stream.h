#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A positioned sequence of bytes. Reads and writes move the position; a write past the end
// grows the stream where the stream can grow.
class TStream {
public:
    virtual ~TStream() = default;

    // Both return the number of bytes moved; a short read means the end was reached.
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    virtual int64_t Size();
    virtual void SetSize(int64_t newSize) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

    // Reads or writes exactly count bytes or raises EStreamError.
    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);
    void WriteString(const std::string& text) { WriteBuffer(text.data(), static_cast<int32_t>(text.size())); }

    // Copies count bytes (all from the start when count is 0) from source; returns the count.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A growable stream in one contiguous block of memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }
    void SetSize(int64_t newSize) override;

    // Empties the stream and releases its memory.
    void Clear();

    char* Memory() noexcept { return data_.data(); }
    const char* Memory() const noexcept { return data_.data(); }
    int64_t Capacity() const noexcept { return static_cast<int64_t>(data_.size()); }

    // The whole content, independent of the position.
    std::string DataString() const { return std::string(data_.data(), static_cast<size_t>(size_)); }

protected:
    void SetCapacity(int64_t newCapacity);

private:
    std::vector<char> data_;
    int64_t size_ = 0;
    int64_t position_ = 0;
};

// A stream over text of its own; the text is the whole content.
class TStringStream : public TMemoryStream {
public:
    TStringStream() = default;
    explicit TStringStream(const std::string& text);

    std::string DataString() const { return TMemoryStream::DataString(); }
};

// A read-only view of bytes that belong to someone else.
class TReadOnlyMemoryStream : public TStream {
public:
    TReadOnlyMemoryStream(const void* data, int64_t size)
        : data_(static_cast<const char*>(data)), size_(size) {}

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }
    void SetSize(int64_t newSize) override;

private:
    const char* data_;
    int64_t size_;
    int64_t position_ = 0;
};

}  // namespace quorvane
