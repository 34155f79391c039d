#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tcp/net_io_handler.h"

namespace quorvane::testing {

// An I/O handler that plays scripted incoming bytes from memory and records what is sent,
// so that parsing paths can be driven through every split point without a socket.
//
//   MemoryIOHandler io("HTTP/1.1 200 OK\r\n...", 1);   // one byte per receive
//   connection.SetIOHandler(&io);  io.OpenHandler();    // or client.OpenConnection()
//
// Once every scripted byte is delivered, the peer either closes (a receive returns 0, the
// default) or stays silent (every wait for readability times out at once). The N-th receive
// or send (1-based, counted separately) can be made to fail with -1 and a socket error code.
class MemoryIOHandler : public quorvane::TNetIOHandler {
public:
    explicit MemoryIOHandler(std::string incoming = std::string(), size_t pieceSize = 0);

    // Appends bytes to the script.
    void AddIncoming(const std::string& bytes) { incoming_ += bytes; }
    // Largest number of bytes one receive delivers; 0: as many as the caller asks for.
    void SetPieceSize(size_t pieceSize) { pieceSize_ = pieceSize; }
    // Largest number of bytes one send accepts (a short send); 0: everything.
    void SetSendPieceSize(size_t pieceSize) { sendPieceSize_ = pieceSize; }
    // true (default): after the script the peer closes; false: it stays silent.
    void SetCloseAtEnd(bool closeAtEnd) { closeAtEnd_ = closeAtEnd; }
    // The n-th receive / send returns -1 and LastSocketError() gives code.
    void FailReceive(int n, int32_t code) { receiveFailure_ = {n, code}; }
    void FailSend(int n, int32_t code) { sendFailure_ = {n, code}; }

    // Every byte accepted by SendSome, in order, and the number of SendSome calls that
    // accepted bytes.
    const std::string& Sent() const { return sent_; }
    int SendCalls() const { return sendCalls_; }
    int ReceiveCalls() const { return receiveCalls_; }
    // Incoming bytes not delivered yet.
    size_t Pending() const { return incoming_.size() - delivered_; }
    // What the last ConnectPeer asked for, and how often the handler was opened and closed.
    const std::string& ConnectedHost() const { return connectedHost_; }
    int32_t ConnectedPort() const { return connectedPort_; }
    int OpenCount() const { return openCount_; }
    int CloseCount() const { return closeCount_; }

    void OpenHandler() override;
    void CloseHandler() override;
    void ConnectPeer(const std::string& host, int32_t port, const std::string& boundIP, int32_t boundPort,
                     int32_t boundPortLow, int32_t boundPortHigh, int32_t timeout) override;
    bool WaitReadable(int32_t timeout) override;
    int32_t ReceiveSome(void* buffer, int32_t length) override;
    int32_t SendSome(const void* buffer, int32_t length) override;
    int32_t LastSocketError() override { return lastError_; }

private:
    // The call of one kind that is to fail: the n-th (1-based; 0: none), and its error code.
    struct ScriptedFailure {
        int at = 0;
        int32_t code = 0;
    };
    // Counts a receive or send on the open handler; true when it is the one to fail, with its
    // code left as the last socket error.
    bool CountCall(int& calls, const ScriptedFailure& failure);

    std::string incoming_;
    size_t delivered_ = 0;
    size_t pieceSize_;
    size_t sendPieceSize_ = 0;
    bool closeAtEnd_ = true;
    ScriptedFailure receiveFailure_;
    ScriptedFailure sendFailure_;
    int32_t lastError_ = 0;
    std::string sent_;
    int sendCalls_ = 0;
    int sendAttempts_ = 0;
    int receiveCalls_ = 0;
    std::string connectedHost_;
    int32_t connectedPort_ = 0;
    int openCount_ = 0;
    int closeCount_ = 0;
};

}  // namespace quorvane::testing
