#pragma once

#include <cstdint>
#include <string>

#include "tcp/net_tcp_connection.h"

namespace quorvane {

// A buffered connection that connects itself: to Host:Port, optionally from a bound local
// address or port range, with or without a time limit.
class TNetTCPClient : public TNetTCPConnection {
public:
    explicit TNetTCPClient(TComponent* owner = nullptr);
    ~TNetTCPClient() override;

    // Fired after a successful connect.
    TNotifyEvent OnConnected;

    const std::string& BoundIP() const noexcept { return boundIP_; }
    void SetBoundIP(const std::string& value) { boundIP_ = value; }
    int32_t BoundPort() const noexcept { return boundPort_; }
    void SetBoundPort(int32_t value) noexcept { boundPort_ = value; }
    int32_t BoundPortHigh() const noexcept { return boundPortHigh_; }
    void SetBoundPortHigh(int32_t value) noexcept { boundPortHigh_ = value; }
    int32_t BoundPortLow() const noexcept { return boundPortLow_; }
    void SetBoundPortLow(int32_t value) noexcept { boundPortLow_ = value; }
    const std::string& Host() const noexcept { return host_; }
    virtual void SetHost(const std::string& value) { host_ = value; }
    int32_t Port() const noexcept { return port_; }
    virtual void SetPort(int32_t value) { port_ = value; }

    // timeout ms: -1 and 0 connect on the calling thread without limit; positive limits the
    // connect step; -2 connects on the connect thread without limit. Creates an owned socket
    // I/O handler when none is set. On failure the socket is dropped and the exception passes
    // on; on an open connection ENetAlreadyConnected.
    virtual void OpenConnection(int32_t timeout = -1);
    // OpenConnection(-1), ReadUntilClose, Disconnect (also when the read fails).
    std::string ConnectAndReadAll();

protected:
    virtual void DoOnConnected();

private:
    std::string boundIP_;
    int32_t boundPort_ = 0;
    int32_t boundPortHigh_ = 0;
    int32_t boundPortLow_ = 0;
    std::string host_;
    int32_t port_ = 0;
};

}  // namespace quorvane
