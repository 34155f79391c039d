#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "tcp/net_base_component.h"

namespace quorvane {

enum class TNetStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    hsStatusText,
    ftpTransfer,
    ftpReady,
    ftpAborted
};

enum class TWorkMode { wmRead, wmWrite };

// Events take the component that raised them first and run synchronously on the thread
// that caused them.
using TNotifyEvent = std::function<void(TComponent* sender)>;
using TNetStatusEvent = std::function<void(TComponent* sender, TNetStatus status, const std::string& statusText)>;
using TWorkEvent = std::function<void(TComponent* sender, TWorkMode workMode, int32_t workCount)>;
using TWorkBeginEvent = std::function<void(TComponent* sender, TWorkMode workMode, int32_t workCountMax)>;
using TWorkEndEvent = std::function<void(TComponent* sender, TWorkMode workMode)>;

// The status text for a status value, with its one argument filled in where the text has a
// place for it ("Connecting to %s.").
std::string NetStatusText(TNetStatus status, const std::string& argument = std::string());

// Base of the connection, the I/O handlers and the HTTP client: status and progress events.
// Every live instance also keeps the process-wide socket stack alive: the first one creates
// it and the last one frees it.
class TNetComponent : public TNetBaseComponent {
public:
    explicit TNetComponent(TComponent* owner = nullptr);
    ~TNetComponent() override;

    TNetStatusEvent OnStatus;
    TWorkEvent OnWork;
    TWorkBeginEvent OnWorkBegin;
    TWorkEndEvent OnWorkEnd;

    // Units of work nest; only the outermost one of a mode fires OnWorkBegin/OnWorkEnd.
    virtual void WorkStart(TWorkMode mode, int32_t maximum = 0);
    virtual void WorkStep(TWorkMode mode, int32_t count);
    virtual void WorkFinish(TWorkMode mode);

    // Fires OnStatus (when set) with the status text formatted with the argument.
    void ReportStatus(TNetStatus status, const std::string& argument = std::string());

    // Current nesting depth and running count of a mode (what OnWork last reported).
    int32_t WorkLevel(TWorkMode mode) const { return work_[Index(mode)].level; }
    int32_t WorkCount(TWorkMode mode) const { return work_[Index(mode)].count; }

private:
    struct WorkState {
        int32_t level = 0;
        int32_t count = 0;
    };
    static size_t Index(TWorkMode mode) { return mode == TWorkMode::wmRead ? 0 : 1; }

    std::array<WorkState, 2> work_{};
};

}  // namespace quorvane
