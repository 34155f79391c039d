#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane::testing {

// Runs tools/unit-sim (built beside the test executables) on a free loopback port for the
// lifetime of the object. The simulator is always started with a time limit of its own, so
// it ends even if a test dies without stopping it; the destructor stops it with SIGTERM and
// reaps it (SIGKILL after two seconds).
class UnitSimProcess {
public:
    explicit UnitSimProcess(const std::vector<std::string>& options = {}, int lifetimeSeconds = 120);
    ~UnitSimProcess();
    UnitSimProcess(const UnitSimProcess&) = delete;
    UnitSimProcess& operator=(const UnitSimProcess&) = delete;

    // 0 when the simulator did not start (the reason is in Error()).
    uint16_t Port() const { return port_; }
    const std::string& Error() const { return error_; }
    // Waits (bounded) for the simulator to end by itself; true when it did, with its status.
    bool WaitForExit(int milliseconds, int* exitCode = nullptr);

private:
    pid_t pid_ = -1;
    uint16_t port_ = 0;
    std::string error_;
};

}  // namespace quorvane::testing
