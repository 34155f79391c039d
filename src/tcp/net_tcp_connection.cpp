#include "tcp/net_tcp_connection.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "rtl/format.h"
#include "tcp/net_anti_freeze_base.h"
#include "tcp/net_exception.h"
#include "tcp/net_io_handler_socket.h"
#include "tcp/net_stack.h"

namespace quorvane {

namespace {

// A stream is never pre-sized by more than this before the bytes arrive: a peer that
// announces two gigabytes must not make us reserve them up front.
constexpr int64_t kMaxStreamPresize = 1 << 20;

bool IsOneOf(int32_t code, std::initializer_list<int32_t> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

}  // namespace

TNetTCPConnection::TNetTCPConnection(TComponent* owner)
    : TNetComponent(owner),
      inputQueue_(std::make_unique<TNetManagedBuffer>(
          [this](TNetSimpleBuffer&, int32_t count) { WorkStep(TWorkMode::wmRead, count); })),
      receiveChunk_(std::make_unique<TNetSimpleBuffer>()) {}

TNetTCPConnection::~TNetTCPConnection() {
    try {
        DropSocket();
    } catch (...) {
        // Destruction must go on; the socket is released with its handler below.
    }
    ForgetIOHandler();
}

void TNetTCPConnection::ForgetIOHandler() {
    std::unique_ptr<TNetIOHandler> owned = std::move(ownedIOHandler_);
    ioHandler_ = nullptr;
    socketHandler_ = nullptr;
    owned.reset();
}

void TNetTCPConnection::SetIOHandler(TNetIOHandler* handler) {
    if (handler == ioHandler_) {
        return;
    }
    if (ownedIOHandler_ != nullptr) {
        ForgetIOHandler();
    }
    ioHandler_ = handler;
    socketHandler_ = dynamic_cast<TNetIOHandlerSocket*>(handler);
    if (handler != nullptr) {
        FreeNotification(handler);
    }
}

void TNetTCPConnection::AdoptIOHandler(std::unique_ptr<TNetIOHandler> handler) {
    SetIOHandler(handler.get());
    ownedIOHandler_ = std::move(handler);
}

void TNetTCPConnection::SetIntercept(TNetConnectionIntercept* intercept) {
    intercept_ = intercept;
    if (intercept != nullptr) {
        FreeNotification(intercept);
    }
}

void TNetTCPConnection::Notification(TComponent* component, TOperation operation) {
    TNetComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) {
        return;
    }
    if (component != nullptr && component == ioHandler_) {
        if (ownedIOHandler_.get() == component) {
            // Destroyed by someone else after all: do not free it a second time.
            static_cast<void>(ownedIOHandler_.release());
        }
        ioHandler_ = nullptr;
        socketHandler_ = nullptr;
    }
    if (component != nullptr && component == intercept_) {
        intercept_ = nullptr;
    }
}

void TNetTCPConnection::RaiseSocketFailure(int32_t code) {
    SocketStack->RaiseSocketFailure(code);
}

// ---------------------------------------------------------------------------------------
// State

bool TNetTCPConnection::IsOpen() {
    CheckPeerClose(false, false);
    return ioHandler_ != nullptr && ioHandler_->IsHandlerOpen();
}

void TNetTCPConnection::DoOnDisconnected() {
    if (OnDisconnected) {
        OnDisconnected(this);
    }
}

void TNetTCPConnection::DropSocket() {
    if (ioHandler_ == nullptr) {
        return;
    }
    peerClosed_ = true;
    if (intercept_ != nullptr) {
        intercept_->Disconnect();
    }
    ioHandler_->CloseHandler();
}

void TNetTCPConnection::Disconnect() {
    const bool wasOpen = IsOpen();
    if (wasOpen) {
        ReportStatus(TNetStatus::hsDisconnecting);
        DropSocket();
    }
    if (ownedIOHandler_ != nullptr) {
        ForgetIOHandler();
    }
    if (wasOpen) {
        DoOnDisconnected();
        ReportStatus(TNetStatus::hsDisconnected);
    }
}

void TNetTCPConnection::ResetInput() {
    inputQueue_->Clear();
    peerClosed_ = false;
}

// ---------------------------------------------------------------------------------------
// Receiving

void TNetTCPConnection::CheckPeerClose(bool raiseIfClosed, bool ignoreQueue) {
    if (ioHandler_ == nullptr) {
        return;
    }
    bool closed;
    if (peerClosed_) {
        if (ioHandler_->IsHandlerOpen()) {
            DropSocket();
            ReportStatus(TNetStatus::hsDisconnected);
            DoOnDisconnected();
        }
        closed = true;
    } else {
        closed = !ioHandler_->IsHandlerOpen();
    }
    if (closed && raiseIfClosed && (inputQueue_->Size() == 0 || ignoreQueue)) {
        throw ENetConnClosedGracefully("Connection Closed Gracefully.");
    }
}

void TNetTCPConnection::PollPeerClose(bool raiseIfClosed, int32_t waitMs) {
    FillInputBuffer(raiseIfClosed, waitMs, false);
}

int32_t TNetTCPConnection::FillInputBuffer(bool raiseIfClosed, int32_t timeout, bool raiseOnTimeout) {
    if (timeout == -1) {
        timeout = readTimeout_ == 0 ? -2 : readTimeout_;
    }
    CheckPeerClose(raiseIfClosed, false);
    if (!IsOpen()) {
        if (raiseIfClosed) {
            throw ENetNotConnected("Not Connected");
        }
        return 0;
    }
    int32_t count = 0;
    do {
        if (ioHandler_ != nullptr && !ioHandler_->WaitReadable(timeout)) {
            if (raiseOnTimeout) {
                throw ENetReadTimeout("Read Timeout");
            }
            return -1;
        }
        if (ioHandler_ == nullptr) {
            if (raiseIfClosed) {
                throw ENetNotConnected("Not Connected");
            }
            count = 0;
        } else {
            const int32_t chunkSize = std::max<int32_t>(recvBufferSize_, 1);
            if (receiveAreaSize_ < chunkSize) {
                receiveArea_ = std::make_unique_for_overwrite<char[]>(static_cast<size_t>(chunkSize));
                receiveAreaSize_ = chunkSize;
            }
            count = ioHandler_->ReceiveSome(receiveArea_.get(), chunkSize);
        }
        peerClosed_ = (count == 0);
        if (count == -1) {
            const int32_t code = ioHandler_ != nullptr ? ioHandler_->LastSocketError() : 0;
            if (!IsOneOf(code, {10058, 10053})) {
                RaiseSocketFailure(code);
            }
            count = 0;
            if (ioHandler_ != nullptr) {
                DropSocket();
            }
            if (inputQueue_->Size() == 0) {
                RaiseSocketFailure(code);
            }
        }
        if (count > 0) {
            char* data = receiveArea_.get();
            if (intercept_ != nullptr) {
                receiveChunk_->SetSize(count);
                std::memcpy(receiveChunk_->Memory(), data, static_cast<size_t>(count));
                receiveChunk_->SetPosition(0);
                intercept_->Receive(*receiveChunk_);
                count = receiveChunk_->Count();
                data = receiveChunk_->Memory();
            }
            if (asciiFilter_) {
                for (int32_t i = 0; i < count; ++i) {
                    data[i] = static_cast<char>(static_cast<unsigned char>(data[i]) & 0x7F);
                }
            }
            inputQueue_->Append(data, count);
        }
        CheckPeerClose(raiseIfClosed, false);
    } while (count == 0 && IsOpen());
    return count;
}

std::string TNetTCPConnection::ReadLine(const std::string& terminator, int32_t timeout, int32_t maxLength) {
    if (maxLength == -1) {
        maxLength = maxLineLength_;
    }
    const std::string_view term = terminator.empty() ? std::string_view("\n") : std::string_view(terminator);
    lineSplit_ = false;
    lineTimedOut_ = false;
    int64_t searched = 0;
    int64_t position = 0;

    // Under maSplit the first maxLength bytes are the line; otherwise nothing is taken.
    auto overLong = [&]() -> std::string {
        if (maxLineAction_ == TNetMaxLineAction::maException) {
            throw ENetReadLnMaxLineLengthExceeded("Max line length exceeded.");
        }
        lineSplit_ = true;
        return inputQueue_->TakeFront(maxLength);
    };

    do {
        const int64_t queued = inputQueue_->Size();
        if (queued > 0) {
            // Resume where the last pass stopped, less what could be the start of a
            // terminator that arrived split across two receives.
            const int64_t from = std::max<int64_t>(searched - static_cast<int64_t>(term.size()) + 1, 0);
            const char* data = inputQueue_->Data();
            if (term.size() == 1) {
                const void* hit = std::memchr(data + from, term[0], static_cast<size_t>(queued - from));
                position = hit == nullptr ? 0 : static_cast<const char*>(hit) - data + 1;
            } else {
                const size_t found = std::string_view(data, static_cast<size_t>(queued)).find(term, static_cast<size_t>(from));
                position = found == std::string_view::npos ? 0 : static_cast<int64_t>(found) + 1;
            }
            searched = queued;
        }
        if (maxLength != 0 && position - 1 > maxLength) {
            return overLong();
        }
        if (position == 0) {
            if (maxLength != 0 && searched > maxLength) {
                return overLong();
            }
            CheckPeerClose(true, true);
            if (FillInputBuffer(true, timeout, timeout == -1) == -1) {
                lineTimedOut_ = true;
                return std::string();
            }
        }
    } while (position == 0);

    std::string line(inputQueue_->Data(), static_cast<size_t>(position - 1));
    inputQueue_->DropFront(static_cast<int32_t>(position - 1 + static_cast<int64_t>(term.size())));
    if (term == "\n" && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

void TNetTCPConnection::ReadBytes(void* buffer, int32_t count) {
    if (count <= 0 || buffer == nullptr) {
        return;
    }
    while (inputQueue_->Size() < count) {
        FillInputBuffer(true, -1, true);
        CheckPeerClose(true, true);
    }
    std::memcpy(buffer, inputQueue_->Data(), static_cast<size_t>(count));
    inputQueue_->DropFront(count);
}

void TNetTCPConnection::ReadToStream(TStream* stream, int32_t count, bool untilClose) {
    if (stream == nullptr) {
        return;
    }
    if (count == -1 && !untilClose) {
        count = ReadInt32(true);
    }
    if (count >= 0) {
        const int64_t position = stream->Position();
        stream->SetSize(position + std::min<int64_t>(count, kMaxStreamPresize));
        stream->SetPosition(position);
    }
    int32_t remaining = untilClose ? INT32_MAX : count;
    WorkStart(TWorkMode::wmRead, untilClose ? 0 : count);
    auto finish = [&]() {
        WorkFinish(TWorkMode::wmRead);
        const int64_t position = stream->Position();
        if (stream->Size() > position) {
            stream->SetSize(position);
        }
    };
    try {
        const int32_t queued = static_cast<int32_t>(std::min<int64_t>(remaining, inputQueue_->Size()));
        if (queued > 0) {
            stream->WriteBuffer(inputQueue_->Data(), queued);
            inputQueue_->DropFront(queued);
            remaining -= queued;
        }
        const int32_t areaSize = std::max<int32_t>(std::min(remaining, std::max<int32_t>(recvBufferSize_, 1)), 0);
        std::vector<char> area(static_cast<size_t>(areaSize));
        while (remaining > 0 && IsOpen()) {
            const int32_t piece = std::min(remaining, areaSize);
            try {
                ReadBytes(area.data(), piece);
            } catch (const ENetConnClosedGracefully&) {
                if (!untilClose) {
                    throw;
                }
                const int32_t rest = inputQueue_->Count();
                if (rest > 0) {
                    stream->WriteBuffer(inputQueue_->Data(), rest);
                    inputQueue_->DropFront(rest);
                    remaining -= rest;
                }
                continue;
            }
            stream->WriteBuffer(area.data(), piece);
            remaining -= piece;
        }
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

std::string TNetTCPConnection::TakeInput() {
    if (IsOpen()) {
        FillInputBuffer(false, -1, true);
    }
    return inputQueue_->TakeFront(inputQueue_->Count());
}

std::string TNetTCPConnection::ReadUntilClose() {
    std::string result;
    WorkStart(TWorkMode::wmRead, 0);
    try {
        while (IsOpen()) {
            result += TakeInput();
        }
    } catch (...) {
        WorkFinish(TWorkMode::wmRead);
        throw;
    }
    WorkFinish(TWorkMode::wmRead);
    return result;
}

int32_t TNetTCPConnection::ReadInt32(bool convert) {
    uint32_t value = 0;
    ReadBytes(&value, sizeof value);
    if (convert) {
        value = SocketStack->NetToHost32(value);
    }
    return static_cast<int32_t>(value);
}

// ---------------------------------------------------------------------------------------
// Sending

void TNetTCPConnection::WriteText(const std::string& text) {
    if (!text.empty()) {
        WriteBytes(text.data(), static_cast<int32_t>(text.size()));
    }
}

void TNetTCPConnection::WriteLine(const std::string& text) { WriteText(text + "\r\n"); }

void TNetTCPConnection::WriteBytes(const void* buffer, int32_t count, bool now) {
    if (count <= 0 || buffer == nullptr) {
        return;
    }
    CheckPeerClose(true, true);
    if (!IsOpen()) {
        throw ENetNotConnected("Not Connected");
    }
    if (!now && writeCache_ != nullptr) {
        writeCache_->Append(buffer, count);
        if (writeCacheThreshold_ > 0 && writeCache_->Size() >= writeCacheThreshold_) {
            FlushWriteCache(writeCacheThreshold_);
        }
        return;
    }
    const char* data = static_cast<const char*>(buffer);
    // The intercept filters a copy: the caller's bytes stay as they were.
    TNetSimpleBuffer staging;
    if (intercept_ != nullptr) {
        staging.Append(buffer, count);
        staging.SetPosition(0);
        intercept_->Send(staging);
        count = staging.Count();
        data = staging.Memory();
    }
    int32_t offset = 0;
    while (offset < count) {
        if (ioHandler_ == nullptr) {
            throw ENetNotConnected("Not Connected");
        }
        int32_t sent = ioHandler_->SendSome(data + offset, count - offset);
        if (TNetAntiFreezeBase::DoProcess(false)) {
            DropSocket();
            throw ENetClosedSocket("Disconnected.");
        }
        peerClosed_ = (sent == 0);
        CheckPeerClose(true, false);
        if (sent < 0) {
            // Taken before the socket is dropped: closing it must not change the code reported.
            const int32_t code = ioHandler_ != nullptr ? ioHandler_->LastSocketError() : 0;
            if (IsOneOf(code, {10058, 10053, 10054})) {
                DropSocket();
            }
            RaiseSocketFailure(code);
        }
        WorkStep(TWorkMode::wmWrite, sent);
        offset += sent;
    }
}

void TNetTCPConnection::WriteFromStream(TStream* stream, bool whole, bool writeCount, int32_t size) {
    if (stream == nullptr) {
        return;
    }
    if (whole) {
        stream->SetPosition(0);
    }
    const int64_t start = stream->Position();
    const int64_t end = size == 0 ? stream->Size() : start + size;
    const int32_t total = static_cast<int32_t>(std::clamp<int64_t>(end - start, INT32_MIN, INT32_MAX));
    if (writeCount) {
        WriteInt32(total, true);
    }
    WorkStart(TWorkMode::wmWrite, total);
    try {
        const int32_t areaSize = std::max<int32_t>(sendBufferSize_, 1);
        std::vector<char> area(static_cast<size_t>(areaSize));
        for (;;) {
            const int32_t piece = static_cast<int32_t>(std::min<int64_t>(end - stream->Position(), areaSize));
            if (piece <= 0) {
                break;
            }
            const int32_t got = stream->Read(area.data(), piece);
            if (got <= 0) {
                throw ENetNoDataToRead("No data to read.");
            }
            WriteBytes(area.data(), got);
        }
    } catch (...) {
        WorkFinish(TWorkMode::wmWrite);
        throw;
    }
    WorkFinish(TWorkMode::wmWrite);
}

void TNetTCPConnection::WriteInt32(int32_t value, bool convert) {
    uint32_t bytes = static_cast<uint32_t>(value);
    if (convert) {
        bytes = SocketStack->HostToNet32(bytes);
    }
    WriteBytes(&bytes, sizeof bytes);
}

int64_t TNetTCPConnection::WriteFileContents(const std::string& fileName, bool /*allowPlatformTransmit*/) {
    // This platform has no whole-file transmit call, so every file goes through the stream path.
    if (!platform::FileExists(fileName)) {
        throw ENetFileNotFound(Format("File \"%s\" not found", fileName.c_str()));
    }
    std::string content;
    const int error = platform::ReadWholeFile(fileName, content);
    if (error != 0) {
        throw EFOpenError(Format("Cannot open file \"%s\". %s", platform::FullPathName(fileName).c_str(),
                                 platform::SystemErrorText(error).c_str()));
    }
    TReadOnlyMemoryStream stream(content.data(), static_cast<int64_t>(content.size()));
    WriteFromStream(&stream, true, false, 0);
    return static_cast<int64_t>(content.size());
}

// ---------------------------------------------------------------------------------------
// Write cache

void TNetTCPConnection::OpenWriteCache(int32_t threshold) {
    writeCache_ = std::make_unique<TNetSimpleBuffer>();
    writeCacheThreshold_ = threshold;
}

void TNetTCPConnection::FlushWriteCache(int32_t count) {
    if (writeCache_ == nullptr || writeCache_->Size() == 0) {
        return;
    }
    if (count == -1 || writeCache_->Size() < count) {
        WriteBytes(writeCache_->Memory(), writeCache_->Count(), true);
        writeCache_->Clear();
    } else {
        WriteBytes(writeCache_->Memory(), count, true);
        writeCache_->DropFront(count);
    }
}

void TNetTCPConnection::ClearWriteCache() {
    if (writeCache_ != nullptr) {
        writeCache_->Clear();
    }
}

void TNetTCPConnection::CloseWriteCache() {
    if (writeCache_ == nullptr) {
        return;
    }
    try {
        FlushWriteCache(-1);
    } catch (...) {
        writeCache_.reset();
        throw;
    }
    writeCache_.reset();
}

}  // namespace quorvane
