#include "tcp/net_anti_freeze_base.h"

#include <unistd.h>

#include "tcp/net_exception.h"

namespace quorvane {

namespace {

std::atomic<TNetAntiFreezeBase*> processAntiFreeze{nullptr};

// The process's main thread is the one whose thread id is the process id.
bool OnMainThread() noexcept { return gettid() == getpid(); }

}  // namespace

TNetAntiFreezeBase::TNetAntiFreezeBase() {
    TNetAntiFreezeBase* expected = nullptr;
    if (!processAntiFreeze.compare_exchange_strong(expected, this)) {
        throw ENetException("Only one TNetAntiFreeze can exist per application.");
    }
}

TNetAntiFreezeBase::~TNetAntiFreezeBase() {
    TNetAntiFreezeBase* expected = this;
    processAntiFreeze.compare_exchange_strong(expected, nullptr);
}

TNetAntiFreezeBase* TNetAntiFreezeBase::Current() noexcept { return processAntiFreeze.load(); }

TNetAntiFreezeBase* TNetAntiFreezeBase::InUse() noexcept {
    TNetAntiFreezeBase* antiFreeze = processAntiFreeze.load();
    if (antiFreeze == nullptr || !antiFreeze->Active() || !OnMainThread()) return nullptr;
    return antiFreeze;
}

bool TNetAntiFreezeBase::DoProcess(bool idle, bool force) {
    TNetAntiFreezeBase* antiFreeze = InUse();
    if (antiFreeze == nullptr) return false;
    const auto now = std::chrono::steady_clock::now();
    if (idle || force || !antiFreeze->OnlyWhenIdle() ||
        now - antiFreeze->lastProcess_ >= std::chrono::milliseconds(antiFreeze->IdleTimeOut())) {
        antiFreeze->lastProcess_ = now;
        antiFreeze->Process();
        // The step may have ended the program's interest in the one it ran for.
        antiFreeze = InUse();
    }
    return antiFreeze != nullptr && antiFreeze->Aborted();
}

}  // namespace quorvane
