#pragma once

#include <cstdint>

namespace quorvane::testing {

// A loopback port on which nothing listens: the system picks it for a socket that is bound and
// closed again at once, so a connect to it is refused. 0 when no port could be had.
uint16_t UnusedLoopbackPort();

}  // namespace quorvane::testing
