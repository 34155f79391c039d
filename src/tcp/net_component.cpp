#include "tcp/net_component.h"

#include "rtl/format.h"
#include "tcp/net_stack.h"

namespace quorvane {

std::string NetStatusText(TNetStatus status, const std::string& argument) {
    switch (status) {
        case TNetStatus::hsResolving:
            return Format("Resolving hostname %s.", argument.c_str());
        case TNetStatus::hsConnecting:
            return Format("Connecting to %s.", argument.c_str());
        case TNetStatus::hsConnected:
            return "Connected.";
        case TNetStatus::hsDisconnecting:
            return "Disconnecting.";
        case TNetStatus::hsDisconnected:
            return "Disconnected.";
        case TNetStatus::hsStatusText:
        case TNetStatus::ftpTransfer:
        case TNetStatus::ftpReady:
        case TNetStatus::ftpAborted:
            return argument;
    }
    return argument;
}

TNetComponent::TNetComponent(TComponent* owner) : TNetBaseComponent(owner) { AcquireSocketStack(); }

TNetComponent::~TNetComponent() { ReleaseSocketStack(); }

void TNetComponent::WorkStart(TWorkMode mode, int32_t maximum) {
    WorkState& state = work_[Index(mode)];
    ++state.level;
    if (state.level == 1) {
        state.count = 0;
        if (OnWorkBegin) {
            OnWorkBegin(this, mode, maximum);
        }
    }
}

void TNetComponent::WorkStep(TWorkMode mode, int32_t count) {
    WorkState& state = work_[Index(mode)];
    if (state.level >= 1) {
        // Wrap like the 32-bit counter it reports instead of overflowing.
        state.count = static_cast<int32_t>(static_cast<uint32_t>(state.count) + static_cast<uint32_t>(count));
        if (OnWork) {
            OnWork(this, mode, state.count);
        }
    }
}

void TNetComponent::WorkFinish(TWorkMode mode) {
    WorkState& state = work_[Index(mode)];
    if (state.level == 1 && OnWorkEnd) {
        OnWorkEnd(this, mode);
    }
    --state.level;
}

void TNetComponent::ReportStatus(TNetStatus status, const std::string& argument) {
    if (OnStatus) {
        OnStatus(this, status, NetStatusText(status, argument));
    }
}

}  // namespace quorvane
