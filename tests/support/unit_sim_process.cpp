#include "support/unit_sim_process.h"
#include "support/announced_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

namespace quorvane::testing {

std::string UnitSimProcess::ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "unit-sim";
    std::string path(buffer, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/unit-sim";
}

UnitSimProcess::UnitSimProcess(const std::vector<std::string>& options, int lifetimeSeconds) {
    std::vector<std::string> args{ExecutablePath(), "--port", "0", "--seconds", std::to_string(lifetimeSeconds)};
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
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            if (exitCode != nullptr) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        }
        if (done < 0 && errno != EINTR) {
            pid_ = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

UnitSimProcess::~UnitSimProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    if (!WaitForExit(2000)) {
        ::kill(pid_, SIGKILL);
        WaitForExit(2000);
    }
}

}  // namespace quorvane::testing
