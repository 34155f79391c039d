#include "support/unit_sim_process.h"
#include "support/announced_process.h"
#include "support/child_process.h"
#include "support/program_process.h"

#include <chrono>
#include <cstdlib>

namespace quorvane::testing {

UnitSimProcess::UnitSimProcess(const std::vector<std::string>& options, int lifetimeSeconds) {
    std::vector<std::string> args{ProgramProcess::BesideTest("unit-sim"), "--port", "0", "--seconds",
                                  std::to_string(lifetimeSeconds)};
    args.insert(args.end(), options.begin(), options.end());
    // The first line names the port.
    AnnouncedProcess simulator = StartAnnouncedProcess(std::move(args), false, std::chrono::seconds(5));
    pid_ = simulator.pid;
    if (pid_ < 0) {
        error_ = simulator.error;
        return;
    }
    const std::string& line = simulator.firstLine;
    const size_t colon = line.rfind(':');
    const long port = colon == std::string::npos ? 0 : std::strtol(line.c_str() + colon + 1, nullptr, 10);
    if (line.rfind("listening on ", 0) != 0 || port <= 0 || port > 65535) {
        error_ = "unit-sim did not report its port: " + line;
        return;
    }
    port_ = static_cast<uint16_t>(port);
}

bool UnitSimProcess::WaitForExit(int milliseconds, int* exitCode) {
    if (pid_ <= 0) return true;
    if (!WaitForChild(pid_, milliseconds, exitCode)) return false;
    pid_ = -1;
    return true;
}

UnitSimProcess::~UnitSimProcess() { EndChild(pid_, 2000); }

}  // namespace quorvane::testing
