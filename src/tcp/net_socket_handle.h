#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "tcp/net_stack.h"

namespace quorvane {

// One socket descriptor with its local and remote addresses. Every platform call goes
// through the process-wide socket stack.
//
// Release may be called from another thread while a connect on this handle blocks (the timed
// connect's time-out does exactly that); the socket library then fails the blocked connect.
class TNetSocketHandle {
public:
    TNetSocketHandle() = default;
    ~TNetSocketHandle();
    TNetSocketHandle(const TNetSocketHandle&) = delete;
    TNetSocketHandle& operator=(const TNetSocketHandle&) = delete;

    TNetSocket Descriptor() const noexcept { return descriptor_.load(); }
    bool HasDescriptor() const noexcept { return hasDescriptor_.load(); }
    const std::string& IP() const noexcept { return ip_; }
    void SetIP(const std::string& ip) { ip_ = ip; }
    int32_t Port() const noexcept { return port_; }
    void SetPort(int32_t port) noexcept { port_ = port; }
    const std::string& RemoteIP() const noexcept { return remoteIP_; }
    int32_t RemotePort() const noexcept { return remotePort_; }
    int32_t ClientPortMin() const noexcept { return clientPortMin_; }
    void SetClientPortMin(int32_t port) noexcept { clientPortMin_ = port; }
    int32_t ClientPortMax() const noexcept { return clientPortMax_; }
    void SetClientPortMax(int32_t port) noexcept { clientPortMax_ = port; }

    // A new IPv4 socket (a descriptor still held is released first).
    void Allocate(int32_t socketType = NetSocketStream, int32_t protocol = 0);
    // Binds to IP and Port, or to the highest free port of ClientPortMin..ClientPortMax.
    void BindLocal();
    // false when the address is in use (10048); other failures raise ENetSocketError.
    bool TryBindOnce();
    bool BindInRange();
    // The platform's connect result; on success both ends are refreshed.
    int32_t ConnectRemote(int32_t family = NetAddressFamilyIPv4);
    void SetRemote(const std::string& ip, int32_t port);
    void RefreshLocal();
    void RefreshRemote();
    // true only when the descriptor is readable (data or a close) within timeout ms (-2: no
    // limit). Without a descriptor it raises ENetConnClosedGracefully.
    bool IsReadable(int32_t timeout);
    // Shuts down the sending side and closes the descriptor; results are ignored.
    void Release();
    // Forgets the descriptor (without closing it) and every address.
    void ClearAddresses();
    // A failure raises ENetSocketError.
    void SetOption(int32_t level, int32_t option, const void* value, int32_t length);

private:
    std::atomic<TNetSocket> descriptor_{InvalidNetSocket};
    std::atomic<bool> hasDescriptor_{false};
    std::string ip_;
    std::string remoteIP_;
    int32_t port_ = 0;
    int32_t remotePort_ = 0;
    int32_t clientPortMin_ = 0;
    int32_t clientPortMax_ = 0;
};

}  // namespace quorvane
