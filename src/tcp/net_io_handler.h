#pragma once

#include <cstdint>
#include <string>

#include "tcp/net_component.h"

namespace quorvane {

// The transport under a connection: something that can be opened and closed, waited on for
// readability, and asked to receive or send one chunk. The socket implementation is
// TNetIOHandlerSocket; tests use an in-memory one.
class TNetIOHandler : public TNetComponent {
public:
    using TNetComponent::TNetComponent;

    virtual void AcceptedHook() {}
    virtual void CloseHandler() { active_ = false; }
    // Time limit in ms (-1 default, 0 none on the calling thread, -2 none on a connect thread).
    virtual void ConnectPeer(const std::string& host, int32_t port, const std::string& boundIP, int32_t boundPort,
                             int32_t boundPortLow, int32_t boundPortHigh, int32_t timeout);
    virtual bool IsHandlerOpen() { return active_; }
    virtual void OpenHandler() { active_ = true; }

    // Waits at most timeout ms (-2: without limit) until data or a close can be read.
    virtual bool WaitReadable(int32_t timeout) = 0;
    // One receive: the byte count, 0 when the peer closed, -1 on a socket error.
    virtual int32_t ReceiveSome(void* buffer, int32_t length) = 0;
    // One send: the byte count, or -1 on a socket error.
    virtual int32_t SendSome(const void* buffer, int32_t length) = 0;

    // The error code behind the last -1 of ReceiveSome/SendSome on this thread. The socket
    // handler asks the socket library; a fake answers with the code it was told to fail with.
    virtual int32_t LastSocketError();

    bool Active() const noexcept { return active_; }

private:
    bool active_ = false;
};

}  // namespace quorvane
