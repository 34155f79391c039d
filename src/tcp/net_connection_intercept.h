#pragma once

#include <functional>

#include "rtl/stream.h"
#include "tcp/net_base_component.h"

namespace quorvane {

// An optional filter between a connection and its transport; filters may be chained. Nothing
// in the monitor sets one, but the connection honours it on every send and receive.
class TNetConnectionIntercept : public TNetBaseComponent {
public:
    using TInterceptNotifyEvent = std::function<void(TComponent* sender)>;
    using TInterceptStreamEvent = std::function<void(TComponent* sender, TStream& buffer)>;

    using TNetBaseComponent::TNetBaseComponent;

    TInterceptNotifyEvent OnConnect;
    TInterceptNotifyEvent OnDisconnect;
    TInterceptStreamEvent OnReceive;
    TInterceptStreamEvent OnSend;

    // The filter that runs after this one on receive and before it on send (not owned).
    TNetConnectionIntercept* Intercept() const noexcept { return intercept_; }
    void SetIntercept(TNetConnectionIntercept* intercept);

    virtual void Connect(TComponent* connection);
    virtual void Disconnect();
    // The buffer is filtered in place and left rewound.
    virtual void Receive(TStream& buffer);
    virtual void Send(TStream& buffer);

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    TNetConnectionIntercept* intercept_ = nullptr;
};

}  // namespace quorvane
