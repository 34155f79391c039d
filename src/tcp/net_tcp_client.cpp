#include "tcp/net_tcp_client.h"

#include <memory>

#include "tcp/net_exception.h"
#include "tcp/net_io_handler_socket.h"

namespace quorvane {

TNetTCPClient::TNetTCPClient(TComponent* owner) : TNetTCPConnection(owner) {}

TNetTCPClient::~TNetTCPClient() = default;

void TNetTCPClient::DoOnConnected() {
    if (OnConnected) {
        OnConnected(this);
    }
}

void TNetTCPClient::OpenConnection(int32_t timeout) {
    if (IOHandler() == nullptr) {
        auto handler = std::make_unique<TNetIOHandlerSocket>(this);
        handler->OnStatus = OnStatus;
        AdoptIOHandler(std::move(handler));
    } else if (IOHandler()->IsHandlerOpen()) {
        throw ENetAlreadyConnected("Already connected.");
    }
    try {
        IOHandler()->OpenHandler();
        ResetInput();
        IOHandler()->ConnectPeer(host_, port_, boundIP_, boundPort_, boundPortLow_, boundPortHigh_, timeout);
        if (Intercept() != nullptr) {
            Intercept()->Connect(this);
        }
        ReportStatus(TNetStatus::hsConnected, host_);
        DoOnConnected();
    } catch (...) {
        DropSocket();
        throw;
    }
}

std::string TNetTCPClient::ConnectAndReadAll() {
    OpenConnection(-1);
    std::string result;
    try {
        result = ReadUntilClose();
    } catch (...) {
        Disconnect();
        throw;
    }
    Disconnect();
    return result;
}

}  // namespace quorvane
