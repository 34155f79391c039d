#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "rtl/stream.h"
#include "tcp/net_component.h"
#include "tcp/net_connection_intercept.h"
#include "tcp/net_io_handler.h"
#include "tcp/net_managed_buffer.h"
#include "tcp/net_simple_buffer.h"

namespace quorvane {

class TNetIOHandlerSocket;

enum class TNetMaxLineAction { maException, maSplit };

// A blocking, buffered byte-stream connection over an I/O handler: an input queue with line
// reads, exact reads, reads into streams and reads until close; immediate and cached writes;
// a read time limit; peer-close detection; status and progress events.
//
// Time limits are in ms: -1 stands for the default (ReadTimeout), -2 for no limit. Bytes are
// received only inside read operations. After the peer closed, bytes still queued are
// delivered before a read reports the close.
class TNetTCPConnection : public TNetComponent {
public:
    explicit TNetTCPConnection(TComponent* owner = nullptr);
    ~TNetTCPConnection() override;

    // Fired once after the connection closed (Disconnect, or a noticed peer close).
    TNotifyEvent OnDisconnected;

    // --- properties ---
    bool ASCIIFilter() const noexcept { return asciiFilter_; }
    void SetASCIIFilter(bool value) noexcept { asciiFilter_ = value; }
    bool PeerClosed() const noexcept { return peerClosed_; }
    bool OwnsIOHandler() const noexcept { return ownedIOHandler_ != nullptr; }
    TNetManagedBuffer& InputQueue() noexcept { return *inputQueue_; }
    TNetConnectionIntercept* Intercept() const noexcept { return intercept_; }
    void SetIntercept(TNetConnectionIntercept* intercept);
    TNetIOHandler* IOHandler() const noexcept { return ioHandler_; }
    // Sets a handler that someone else owns (an owned one being replaced is freed first).
    void SetIOHandler(TNetIOHandler* handler);
    TNetIOHandlerSocket* SocketHandler() const noexcept { return socketHandler_; }
    TNetMaxLineAction MaxLineAction() const noexcept { return maxLineAction_; }
    void SetMaxLineAction(TNetMaxLineAction value) noexcept { maxLineAction_ = value; }
    int32_t MaxLineLength() const noexcept { return maxLineLength_; }
    void SetMaxLineLength(int32_t value) noexcept { maxLineLength_ = value; }
    bool LineSplit() const noexcept { return lineSplit_; }
    bool LineTimedOut() const noexcept { return lineTimedOut_; }
    int32_t ReadTimeout() const noexcept { return readTimeout_; }
    void SetReadTimeout(int32_t value) noexcept { readTimeout_ = value; }
    int32_t RecvBufferSize() const noexcept { return recvBufferSize_; }
    void SetRecvBufferSize(int32_t value) noexcept { recvBufferSize_ = value; }
    int32_t SendBufferSize() const noexcept { return sendBufferSize_; }
    void SetSendBufferSize(int32_t value) noexcept { sendBufferSize_ = value; }
    TNetSimpleBuffer* WriteCache() const noexcept { return writeCache_.get(); }
    int32_t WriteCacheThreshold() const noexcept { return writeCacheThreshold_; }

    // --- state ---
    // Notices a peer close already seen (no network traffic); true while the handler is open.
    virtual bool IsOpen();
    // Orderly close with hsDisconnecting/hsDisconnected and OnDisconnected (only when open);
    // frees an owned I/O handler in any case.
    virtual void Disconnect();
    // Closes the socket only: no events, the I/O handler is kept for a later connect.
    virtual void DropSocket();
    virtual void ResetInput();

    // --- reading ---
    // One receive into InputQueue. Result: the byte count, 0 when closed, -1 when the time
    // limit passed without raising.
    virtual int32_t FillInputBuffer(bool raiseIfClosed = true, int32_t timeout = -1, bool raiseOnTimeout = true);
    // After the peer closed: closes the socket and reports it (once). Raises
    // ENetConnClosedGracefully when asked and nothing is queued (or the queue is ignored).
    virtual void CheckPeerClose(bool raiseIfClosed = true, bool ignoreQueue = false);
    // Looks waitMs for a close (or bytes) that already arrived; 0 looks without waiting.
    virtual void PollPeerClose(bool raiseIfClosed, int32_t waitMs = 1);
    // One line without its terminator ("\n" also drops a CR before it). maxLength -1 stands
    // for MaxLineLength. An explicit time limit that passes returns "" with LineTimedOut set.
    virtual std::string ReadLine(const std::string& terminator = "\n", int32_t timeout = -1,
                                 int32_t maxLength = -1);
    // Exactly count bytes.
    void ReadBytes(void* buffer, int32_t count);
    // count bytes (-1: a 4-byte length prefix first), or with untilClose everything until the
    // peer closes, written at the stream's position. The stream ends at its final position.
    void ReadToStream(TStream* stream, int32_t count = -1, bool untilClose = false);
    virtual std::string ReadUntilClose();
    // One receive (when open), then everything queued.
    std::string TakeInput();
    int32_t ReadInt32(bool convert = true);

    // --- writing ---
    virtual void WriteText(const std::string& text);
    virtual void WriteLine(const std::string& text);
    // Sends now, or appends to an open write cache unless now is set.
    void WriteBytes(const void* buffer, int32_t count, bool now = false);
    virtual void WriteFromStream(TStream* stream, bool whole = true, bool writeCount = false, int32_t size = 0);
    void WriteInt32(int32_t value, bool convert = true);
    // Sends a whole file; the result is its size.
    virtual int64_t WriteFileContents(const std::string& fileName, bool allowPlatformTransmit = true);

    // While a cache is open, writes collect in it and leave in one send when it is closed.
    // A positive threshold sends the cache on its own once it holds that many bytes.
    void OpenWriteCache(int32_t threshold = -1);
    void FlushWriteCache(int32_t count = -1);
    void ClearWriteCache();
    void CloseWriteCache();

protected:
    // Fires OnDisconnected; a derived client may do more when the connection closed.
    virtual void DoOnDisconnected();
    // Makes handler the I/O handler and this connection its owner.
    void AdoptIOHandler(std::unique_ptr<TNetIOHandler> handler);
    void Notification(TComponent* component, TOperation operation) override;

private:
    // Raises ENetSocketError with the stack's text for code.
    [[noreturn]] void RaiseSocketFailure(int32_t code);
    void ForgetIOHandler();

    bool asciiFilter_ = false;
    bool peerClosed_ = false;
    std::unique_ptr<TNetIOHandler> ownedIOHandler_;
    std::unique_ptr<TNetManagedBuffer> inputQueue_;
    TNetConnectionIntercept* intercept_ = nullptr;
    TNetIOHandler* ioHandler_ = nullptr;
    TNetMaxLineAction maxLineAction_ = TNetMaxLineAction::maException;
    int32_t maxLineLength_ = 16384;
    bool lineSplit_ = false;
    bool lineTimedOut_ = false;
    int32_t readTimeout_ = 0;
    int32_t recvBufferSize_ = 32768;
    std::unique_ptr<TNetSimpleBuffer> receiveChunk_;
    // Where a receive lands. Kept apart from receiveChunk_ (which an intercept filters) so that
    // it is allocated once and never zero-filled: a poll would otherwise clear 32 KiB twice.
    std::unique_ptr<char[]> receiveArea_;
    int32_t receiveAreaSize_ = 0;
    int32_t sendBufferSize_ = 32768;
    TNetIOHandlerSocket* socketHandler_ = nullptr;
    std::unique_ptr<TNetSimpleBuffer> writeCache_;
    int32_t writeCacheThreshold_ = 0;
};

}  // namespace quorvane
