#include "tcp/net_socket_handle.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "rtl/format.h"
#include "tcp/net_anti_freeze_base.h"
#include "tcp/net_exception.h"

namespace quorvane {

TNetSocketHandle::~TNetSocketHandle() { Release(); }

void TNetSocketHandle::Allocate(int32_t socketType, int32_t protocol) {
    Release();
    descriptor_.store(SocketStack->CreateDescriptor(socketType, protocol));
    hasDescriptor_.store(true);
}

void TNetSocketHandle::BindLocal() {
    if (port_ != 0 || clientPortMin_ == 0 || clientPortMax_ == 0) {
        if (!TryBindOnce()) {
            throw ENetCouldNotBindSocket("Could not bind socket. Address and port are already in use.");
        }
        return;
    }
    if (clientPortMax_ < clientPortMin_) {
        throw ENetInvalidPortRange(Format("Invalid Port Range (%d - %d)", clientPortMin_, clientPortMax_));
    }
    if (!BindInRange()) {
        throw ENetCanNotBindPortInRange(
            Format("Can not bind in port range (%d - %d)", clientPortMin_, clientPortMax_));
    }
}

bool TNetSocketHandle::TryBindOnce() {
    const int32_t result = SocketStack->BindSocket(Descriptor(), NetAddressFamilyIPv4, ip_, port_);
    if (SocketStack->CheckSocketResult(result, {NetErrorAddressInUse})) {
        return false;
    }
    RefreshLocal();
    return true;
}

bool TNetSocketHandle::BindInRange() {
    for (int32_t port = clientPortMax_; port >= clientPortMin_; --port) {
        port_ = port;
        if (TryBindOnce()) {
            return true;
        }
    }
    return false;
}

int32_t TNetSocketHandle::ConnectRemote(int32_t family) {
    const int32_t result = SocketStack->ConnectSocket(Descriptor(), family, remoteIP_, remotePort_);
    if (result != NetSocketError) {
        RefreshLocal();
        RefreshRemote();
    }
    return result;
}

void TNetSocketHandle::SetRemote(const std::string& ip, int32_t port) {
    remoteIP_ = ip;
    remotePort_ = port;
}

void TNetSocketHandle::RefreshLocal() {
    int32_t family = 0;
    SocketStack->LocalAddressOf(Descriptor(), family, ip_, port_);
}

void TNetSocketHandle::RefreshRemote() {
    int32_t family = 0;
    SocketStack->PeerAddress(Descriptor(), family, remoteIP_, remotePort_);
}

bool TNetSocketHandle::IsReadable(int32_t timeout) {
    if (!HasDescriptor()) {
        throw ENetConnClosedGracefully("Connection Closed Gracefully.");
    }
    TNetAntiFreezeBase* antiFreeze = TNetAntiFreezeBase::InUse();
    if (antiFreeze == nullptr) {
        std::vector<TNetSocket> readList{Descriptor()};
        return SocketStack->SelectSockets(&readList, nullptr, nullptr, timeout) == 1;
    }
    // Every piece of the wait, a limited one included, lasts at most IdleTimeOut: one long
    // piece of limit - IdleTimeOut first would leave the user interface dead for nearly the
    // whole read limit.
    using Clock = std::chrono::steady_clock;
    const bool limited = timeout != NetSelectNoLimit && timeout >= 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limited ? timeout : 0);
    for (;;) {
        int32_t piece = antiFreeze->IdleTimeOut();
        if (limited) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            piece = static_cast<int32_t>(std::clamp<int64_t>(left, 0, piece));
        }
        std::vector<TNetSocket> readList{Descriptor()};
        const int32_t result = SocketStack->SelectSockets(&readList, nullptr, nullptr, piece);
        const bool readable = result == 1;
        if (TNetAntiFreezeBase::DoProcess(!readable)) {
            Release();
            throw ENetClosedSocket("Disconnected.");
        }
        if (result != 0 || (limited && Clock::now() >= deadline)) return readable;
        if (!HasDescriptor()) {
            throw ENetConnClosedGracefully("Connection Closed Gracefully.");
        }
        antiFreeze = TNetAntiFreezeBase::InUse();
        if (antiFreeze == nullptr) {
            // Switched off during the wait: the rest of it in one piece, as without one.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            std::vector<TNetSocket> rest{Descriptor()};
            return SocketStack->SelectSockets(&rest, nullptr, nullptr,
                                              limited ? static_cast<int32_t>(std::max<int64_t>(left, 0))
                                                      : NetSelectNoLimit) == 1;
        }
    }
}

void TNetSocketHandle::Release() {
    // The exchange makes the release happen once even when two threads race to it.
    if (hasDescriptor_.exchange(false)) {
        const TNetSocket descriptor = Descriptor();
        SocketStack->ShutdownSocket(descriptor, NetShutdownSend);
        SocketStack->CloseDescriptor(descriptor);
    }
}

void TNetSocketHandle::ClearAddresses() {
    descriptor_.store(InvalidNetSocket);
    hasDescriptor_.store(false);
    ip_.clear();
    remoteIP_.clear();
    port_ = 0;
    remotePort_ = 0;
}

void TNetSocketHandle::SetOption(int32_t level, int32_t option, const void* value, int32_t length) {
    SocketStack->CheckSocketResult(SocketStack->SetSocketOption(Descriptor(), level, option, value, length));
}

}  // namespace quorvane
