#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace quorvane {

// Lets a user interface live through the transport's blocking waits on its main thread. The
// transport calls the hook after every send, after every readability wait and between the
// sleeps of a timed connect; with an anti-freeze in use (one exists, it is active and the
// caller is the process's main thread) a wait also never lasts longer than IdleTimeOut in
// one piece, so the process step runs at least that often.
//
// At most one exists per process: creating it makes it the process-wide one, destroying it
// removes it. Without one every hook point does nothing, and the transport's bytes and timing
// are those of a plain blocking client.
class TNetAntiFreezeBase {
public:
    static constexpr int32_t DefaultIdleTimeOut = 250;

    // A second one while another exists raises ENetException
    // ("Only one TNetAntiFreeze can exist per application.").
    TNetAntiFreezeBase();
    virtual ~TNetAntiFreezeBase();
    TNetAntiFreezeBase(const TNetAntiFreezeBase&) = delete;
    TNetAntiFreezeBase& operator=(const TNetAntiFreezeBase&) = delete;

    bool Active() const noexcept { return active_.load(); }
    void SetActive(bool active) noexcept { active_.store(active); }
    // Whether the process step handles everything pending or only gives the interface a short turn.
    bool ApplicationHasPriority() const noexcept { return applicationHasPriority_; }
    void SetApplicationHasPriority(bool priority) noexcept { applicationHasPriority_ = priority; }
    // The longest piece of a wait between two process steps, in milliseconds.
    int32_t IdleTimeOut() const noexcept { return idleTimeOut_; }
    void SetIdleTimeOut(int32_t milliseconds) noexcept { idleTimeOut_ = milliseconds < 1 ? 1 : milliseconds; }
    // Process only after a wait that found nothing (a send is never idle).
    bool OnlyWhenIdle() const noexcept { return onlyWhenIdle_; }
    void SetOnlyWhenIdle(bool onlyWhenIdle) noexcept { onlyWhenIdle_ = onlyWhenIdle; }

    // Asks the main thread's current and next transport waits to give up: the waiting code
    // closes its socket and raises ENetClosedSocket. Meant for a process step that learns the
    // program is closing. It stays in force until ResetAbort.
    void Abort() noexcept { aborted_.store(true); }
    void ResetAbort() noexcept { aborted_.store(false); }
    bool Aborted() const noexcept { return aborted_.load(); }

    // The process-wide one, or nullptr.
    static TNetAntiFreezeBase* Current() noexcept;
    // The process-wide one when it may run for the calling thread: it exists, it is active and
    // the caller is the process's main thread; nullptr otherwise.
    static TNetAntiFreezeBase* InUse() noexcept;
    // The hook: with one in use, runs its process step after an idle wait, always when it
    // does not wait for idleness, when forced, or when IdleTimeOut has passed since the last
    // step (a peer that trickles its bytes faster than that never leaves a wait idle, and
    // would otherwise starve the interface for the whole exchange). True when the caller is to
    // give up its wait.
    static bool DoProcess(bool idle, bool force = false);

protected:
    // Handles the user interface's pending work, except what could start new work.
    virtual void Process() = 0;

private:
    std::atomic<bool> active_{true};
    bool applicationHasPriority_ = true;
    int32_t idleTimeOut_ = DefaultIdleTimeOut;
    bool onlyWhenIdle_ = true;
    std::atomic<bool> aborted_{false};
    std::chrono::steady_clock::time_point lastProcess_{};
};

}  // namespace quorvane
