#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tcp/net_io_handler.h"
#include "tcp/net_socket_handle.h"

namespace quorvane {

// The I/O handler over a TCP socket of the socket library.
class TNetIOHandlerSocket : public TNetIOHandler {
public:
    using TNetIOHandler::TNetIOHandler;
    ~TNetIOHandlerSocket() override;

    // Nagle's algorithm is switched off before connecting when false.
    bool UseNagle() const noexcept { return useNagle_; }
    void SetUseNagle(bool value) noexcept { useNagle_ = value; }
    // Created by the first OpenHandler.
    TNetSocketHandle* SocketHandle() const noexcept { return socketHandle_.get(); }

    void OpenHandler() override;
    void CloseHandler() override;
    bool IsHandlerOpen() override;
    // Allocates, binds, resolves, reports "Resolving hostname %s." (names only) and
    // "Connecting to %s.", then connects. A time limit other than -1 and 0 runs the connect
    // on a TNetConnectThread and raises ENetConnectTimeout when it passes. With an
    // anti-freeze in use a name is looked up on a TNetLookupThread, and the look-up counts
    // against the time limit.
    void ConnectPeer(const std::string& host, int32_t port, const std::string& boundIP, int32_t boundPort,
                     int32_t boundPortLow, int32_t boundPortHigh, int32_t timeout) override;
    bool WaitReadable(int32_t timeout) override;
    int32_t ReceiveSome(void* buffer, int32_t length) override;
    int32_t SendSome(const void* buffer, int32_t length) override;

private:
    // The remote address; a name looked up as ConnectPeer says, within the limit (-2: none).
    std::string LookUpRemote(const std::string& host, int32_t limit);
    void TimedConnect(int32_t timeout);

    std::unique_ptr<TNetSocketHandle> socketHandle_;
    bool useNagle_ = true;
};

}  // namespace quorvane
