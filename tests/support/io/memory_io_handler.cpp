#include "support/io/memory_io_handler.h"

#include <algorithm>
#include <cstring>

#include "tcp/net_exception.h"

namespace quorvane::testing {

MemoryIOHandler::MemoryIOHandler(std::string incoming, size_t pieceSize)
    : incoming_(std::move(incoming)), pieceSize_(pieceSize) {}

void MemoryIOHandler::OpenHandler() {
    TNetIOHandler::OpenHandler();
    ++openCount_;
}

void MemoryIOHandler::CloseHandler() {
    if (Active()) {
        ++closeCount_;
    }
    TNetIOHandler::CloseHandler();
}

void MemoryIOHandler::ConnectPeer(const std::string& host, int32_t port, const std::string&, int32_t, int32_t,
                                  int32_t, int32_t) {
    connectedHost_ = host;
    connectedPort_ = port;
}

bool MemoryIOHandler::WaitReadable(int32_t) {
    if (!Active()) {
        throw quorvane::ENetConnClosedGracefully("Connection Closed Gracefully.");
    }
    // A pending failure is "readable" too: the receive reports it.
    return Pending() > 0 || closeAtEnd_ || receiveCalls_ + 1 == receiveFailure_.at;
}

bool MemoryIOHandler::CountCall(int& calls, const ScriptedFailure& failure) {
    if (!Active()) {
        throw quorvane::ENetClosedSocket("Disconnected.");
    }
    if (++calls != failure.at) {
        return false;
    }
    lastError_ = failure.code;
    return true;
}

int32_t MemoryIOHandler::ReceiveSome(void* buffer, int32_t length) {
    if (CountCall(receiveCalls_, receiveFailure_)) {
        return -1;
    }
    size_t count = std::min(Pending(), static_cast<size_t>(std::max<int32_t>(length, 0)));
    if (pieceSize_ > 0) {
        count = std::min(count, pieceSize_);
    }
    std::memcpy(buffer, incoming_.data() + delivered_, count);
    delivered_ += count;
    return static_cast<int32_t>(count);
}

int32_t MemoryIOHandler::SendSome(const void* buffer, int32_t length) {
    if (CountCall(sendAttempts_, sendFailure_)) {
        return -1;
    }
    size_t count = static_cast<size_t>(std::max<int32_t>(length, 0));
    if (sendPieceSize_ > 0) {
        count = std::min(count, sendPieceSize_);
    }
    sent_.append(static_cast<const char*>(buffer), count);
    if (count > 0) {
        ++sendCalls_;
    }
    return static_cast<int32_t>(count);
}

}  // namespace quorvane::testing
