#include "tcp/net_connection_intercept.h"

namespace quorvane {

void TNetConnectionIntercept::SetIntercept(TNetConnectionIntercept* intercept) {
    if (intercept_ == intercept) {
        return;
    }
    if (intercept_ != nullptr) {
        RemoveFreeNotification(intercept_);
    }
    intercept_ = intercept;
    if (intercept_ != nullptr) {
        FreeNotification(intercept_);
    }
}

void TNetConnectionIntercept::Connect(TComponent* connection) {
    if (OnConnect) {
        OnConnect(this);
    }
    if (intercept_ != nullptr) {
        intercept_->Connect(connection);
    }
}

void TNetConnectionIntercept::Disconnect() {
    if (OnDisconnect) {
        OnDisconnect(this);
    }
    if (intercept_ != nullptr) {
        intercept_->Disconnect();
    }
}

void TNetConnectionIntercept::Receive(TStream& buffer) {
    if (intercept_ != nullptr) {
        intercept_->Receive(buffer);
    }
    if (OnReceive) {
        OnReceive(this, buffer);
    }
    buffer.SetPosition(0);
}

void TNetConnectionIntercept::Send(TStream& buffer) {
    if (OnSend) {
        OnSend(this, buffer);
    }
    buffer.SetPosition(0);
    if (intercept_ != nullptr) {
        intercept_->Send(buffer);
    }
}

void TNetConnectionIntercept::Notification(TComponent* component, TOperation operation) {
    TNetBaseComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == intercept_) {
        intercept_ = nullptr;
    }
}

}  // namespace quorvane
