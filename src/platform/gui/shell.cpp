#include "platform/gui/shell.h"

#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

extern char** environ;

namespace quorvane::platform {

namespace {

// How long the opener's own verdict (a missing handler, a URL it cannot open) is awaited.
constexpr int kVerdictWaitMs = 1000;

enum class WaitResult { ended, stillRunning, failed };

// Waits at most kVerdictWaitMs for the child to end, waking as soon as it does.
WaitResult WaitBriefly(pid_t child, int& status) {
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kVerdictWaitMs);
    for (;;) {
        const pid_t waited = waitpid(child, &status, WNOHANG);
        if (waited == child) break;
        if (waited < 0 && errno != EINTR) {
            if (pidFd >= 0) close(pidFd);
            return WaitResult::failed;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            if (pidFd >= 0) close(pidFd);
            return WaitResult::stillRunning;
        }
        if (pidFd >= 0) {
            pollfd ended{pidFd, POLLIN, 0};
            poll(&ended, 1, static_cast<int>(left.count()));
        } else {
            usleep(10000);  // a kernel without process descriptors: look again shortly
        }
    }
    if (pidFd >= 0) close(pidFd);
    return WaitResult::ended;
}

}  // namespace

int ShellExecuteA(QWidget* /*parent*/, const std::string& operation, const std::string& file,
                  const std::string& /*parameters*/, const std::string& /*directory*/, int /*showCmd*/) {
    if (!operation.empty() && operation != "open") return SE_ERR_NOASSOC;
    if (file.empty()) return SE_ERR_FNF;

    std::string program = "xdg-open";
    std::string argument = file;
    std::vector<char*> argv{program.data(), argument.data(), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (spawned == ENOENT) return SE_ERR_FNF;
    if (spawned != 0) return SE_ERR_ACCESSDENIED;

    // The opener may run the browser in its own foreground (its generic fallback, $BROWSER, a
    // desktop without a launcher service) and then not end before the browser does. Its verdict
    // is awaited only briefly: an opener that is still running by then has started the browser.
    int status = 0;
    const WaitResult waited = WaitBriefly(child, status);
    if (waited == WaitResult::stillRunning) {
        // Reaped whenever it ends, so that it never lingers as a zombie.
        std::thread([child] {
            int ignored = 0;
            while (waitpid(child, &ignored, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return ShellExecuteSuccess;
    }
    if (waited == WaitResult::failed) return SE_ERR_ACCESSDENIED;
    if (!WIFEXITED(status)) return SE_ERR_ACCESSDENIED;
    switch (WEXITSTATUS(status)) {
        case 0: return ShellExecuteSuccess;
        case 127: return SE_ERR_FNF;  // the shell that runs a spawned script found no program
        default: return SE_ERR_NOASSOC;
    }
}

}  // namespace quorvane::platform
