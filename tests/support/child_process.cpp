#include "support/child_process.h"

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace quorvane::testing {

namespace {

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace

int RunInChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        int code = 120;
        try {
            code = body();
        } catch (...) {
            code = 121;
        }
        // No exit handlers: the child shares the parent's gtest and sanitizer state.
        ::_exit(code);
    }
    int exitCode = -1;
    WaitForChild(child, -1, &exitCode);
    return exitCode;
}

bool WaitForChild(pid_t pid, int milliseconds, int* exitCode) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, milliseconds < 0 ? 0 : WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            if (exitCode != nullptr) *exitCode = done == pid ? ExitCodeOf(status) : -1;
            return true;
        }
        if (milliseconds >= 0) {
            if (std::chrono::steady_clock::now() >= until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

void EndChild(pid_t pid, int graceMilliseconds) {
    if (pid <= 0 || WaitForChild(pid, 0)) return;
    ::kill(pid, SIGTERM);
    if (!WaitForChild(pid, graceMilliseconds)) {
        ::kill(pid, SIGKILL);
        WaitForChild(pid, 5000);
    }
}

bool DropPrivileges() {
    if (::geteuid() != 0) {
        return true;
    }
    return ::setgroups(0, nullptr) == 0 && ::setgid(kUnprivilegedId) == 0 && ::setuid(kUnprivilegedId) == 0;
}

}  // namespace quorvane::testing
