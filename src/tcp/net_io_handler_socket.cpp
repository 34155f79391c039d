#include "tcp/net_io_handler_socket.h"

#include <algorithm>
#include <chrono>

#include "tcp/net_anti_freeze_base.h"
#include "tcp/net_connect_thread.h"
#include "tcp/net_exception.h"
#include "tcp/net_lookup_thread.h"

namespace quorvane {

namespace {

// The longest the waiting thread sleeps between looks at the connect thread; it wakes earlier
// as soon as the connect thread finishes.
constexpr int32_t kConnectSlice = 125;

// What a connect without limit becomes while a user interface waits on it.
constexpr int32_t kAntiFreezeConnectLimit = 120000;

}  // namespace

TNetIOHandlerSocket::~TNetIOHandlerSocket() = default;

void TNetIOHandlerSocket::OpenHandler() {
    TNetIOHandler::OpenHandler();
    if (socketHandle_ == nullptr) {
        socketHandle_ = std::make_unique<TNetSocketHandle>();
    } else {
        // Forgetting a descriptor that is still held would leak it; a connect never gets
        // here with one (it raises ENetAlreadyConnected first), a direct caller might.
        socketHandle_->Release();
        socketHandle_->ClearAddresses();
    }
}

void TNetIOHandlerSocket::CloseHandler() {
    TNetIOHandler::CloseHandler();
    if (socketHandle_ != nullptr) {
        socketHandle_->Release();
    }
}

bool TNetIOHandlerSocket::IsHandlerOpen() { return socketHandle_ != nullptr && socketHandle_->HasDescriptor(); }

void TNetIOHandlerSocket::ConnectPeer(const std::string& host, int32_t port, const std::string& boundIP,
                                      int32_t boundPort, int32_t boundPortLow, int32_t boundPortHigh,
                                      int32_t timeout) {
    if (socketHandle_ == nullptr) {
        socketHandle_ = std::make_unique<TNetSocketHandle>();
    }
    TNetSocketHandle& handle = *socketHandle_;
    handle.Allocate(NetSocketStream, 0);
    handle.SetIP(boundIP);
    handle.SetPort(boundPort);
    handle.SetClientPortMin(boundPortLow);
    handle.SetClientPortMax(boundPortHigh);
    handle.BindLocal();
    if (!TNetStack::IsIPv4Text(host)) {
        ReportStatus(TNetStatus::hsResolving, host);
    }
    const bool limited = timeout != -1 && timeout != 0;
    // A connect without limit would hold the user interface for as long as the platform
    // tries; on the connect thread the interface keeps its turns. A name's look-up comes out
    // of the same limit.
    const bool interfaceWaits = TNetAntiFreezeBase::InUse() != nullptr;
    int32_t limit = limited ? timeout : kAntiFreezeConnectLimit;
    const auto lookUpStart = std::chrono::steady_clock::now();
    handle.SetRemote(LookUpRemote(host, interfaceWaits ? limit : -2), port);
    if (interfaceWaits && limit != -2) {
        const auto spent = std::chrono::steady_clock::now() - lookUpStart;
        limit = std::max<int32_t>(1, limit - static_cast<int32_t>(
                                             std::chrono::duration_cast<std::chrono::milliseconds>(spent).count()));
    }
    if (!useNagle_) {
        const int32_t on = 1;
        handle.SetOption(NetProtocolTCP, NetOptionNoDelay, &on, sizeof on);
    }
    ReportStatus(TNetStatus::hsConnecting, handle.RemoteIP());
    if (limited || interfaceWaits) {
        TimedConnect(limit);
    } else {
        SocketStack->CheckSocketResult(handle.ConnectRemote(NetAddressFamilyIPv4));
    }
}

std::string TNetIOHandlerSocket::LookUpRemote(const std::string& host, int32_t limit) {
    if (std::optional<std::string> known = TNetStack::KnownAddress(host)) return *known;
    // A resolver may take seconds: with an interface waiting, it runs where the interface
    // keeps its turns and a close of the program can give up on it.
    const TNetAntiFreezeBase* antiFreeze = TNetAntiFreezeBase::InUse();
    TNetDetachedLookUp lookUp = antiFreeze != nullptr ? SocketStack->DetachedHostLookUp() : TNetDetachedLookUp{};
    if (!lookUp) return SocketStack->HostToAddress(host);
    TNetLookupThread thread(std::move(lookUp), host);
    const auto slice = std::chrono::milliseconds(std::min(antiFreeze->IdleTimeOut(), kConnectSlice));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
    while (!thread.WaitFinished(slice)) {
        if (limit != -2 && std::chrono::steady_clock::now() >= deadline) throw ENetConnectTimeout("Connect timed out.");
        if (TNetAntiFreezeBase::DoProcess(true)) throw ENetClosedSocket("Disconnected.");
    }
    return SocketStack->AnswerToAddress(thread.Answer());
}

void TNetIOHandlerSocket::TimedConnect(int32_t timeout) {
    auto thread = std::make_unique<TNetConnectThread>(socketHandle_.get());
    thread->Start();
    const TNetAntiFreezeBase* antiFreeze = TNetAntiFreezeBase::InUse();
    const int32_t slice = antiFreeze != nullptr ? std::min(antiFreeze->IdleTimeOut(), kConnectSlice) : kConnectSlice;
    int32_t remaining = timeout == -2 ? slice + 1 : timeout;
    while (remaining > slice) {
        if (thread->WaitFinished(std::chrono::milliseconds(slice))) {
            remaining = 0;
            break;
        }
        remaining = timeout == -2 ? slice + 1 : remaining - slice;
        if (TNetAntiFreezeBase::DoProcess(true)) {
            thread->Terminate();
            CloseHandler();
            thread->WaitFor();
            throw ENetClosedSocket("Disconnected.");
        }
    }
    if (remaining > 0) {
        thread->WaitFinished(std::chrono::milliseconds(remaining));
    }
    if (thread->Finished()) {
        thread->WaitFor();
        if (!thread->FailureText().empty()) {
            throw ENetConnectException(thread->FailureText());
        }
        return;
    }
    thread->Terminate();
    // Releasing the socket makes the thread's blocked connect fail, so the join is short.
    CloseHandler();
    thread->WaitFor();
    throw ENetConnectTimeout("Connect timed out.");
}

bool TNetIOHandlerSocket::WaitReadable(int32_t timeout) {
    if (socketHandle_ == nullptr) {
        throw ENetConnClosedGracefully("Connection Closed Gracefully.");
    }
    return socketHandle_->IsReadable(timeout);
}

int32_t TNetIOHandlerSocket::ReceiveSome(void* buffer, int32_t length) {
    if (!IsHandlerOpen()) {
        throw ENetClosedSocket("Disconnected.");
    }
    return SocketStack->ReceiveBytes(socketHandle_->Descriptor(), buffer, 0, length);
}

int32_t TNetIOHandlerSocket::SendSome(const void* buffer, int32_t length) {
    if (!IsHandlerOpen()) {
        throw ENetClosedSocket("Disconnected.");
    }
    return SocketStack->SendBytes(socketHandle_->Descriptor(), buffer, 0, length);
}

}  // namespace quorvane
