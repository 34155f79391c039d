#pragma once

#include <cstdint>

#include "tcp/net_anti_freeze_base.h"

namespace quorvane {

// The transport's anti-freeze for this toolkit: while a poll blocks the user-interface thread,
// each process step lets the toolkit handle what keeps a window alive (paint and expose
// events, timers, the desktop's liveness pings, close requests) and the user's clicks and
// keys, which the poll watch (TPollWatch) holds back until the poll has ended, all but those
// for the menu.
class TNetAntiFreeze : public TNetAntiFreezeBase {
public:
    // A repaint that a process step asks for is drawn by the next one, so steps come every
    // 100 ms rather than the default 250 ms: the window then never goes 300 ms unpainted.
    static constexpr int32_t WindowIdleTimeOut = 100;

    TNetAntiFreeze() { SetIdleTimeOut(WindowIdleTimeOut); }

protected:
    void Process() override;
};

}  // namespace quorvane
