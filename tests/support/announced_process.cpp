#include "support/announced_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace quorvane::testing {

namespace {

std::string ReadFirstLine(int fd, std::chrono::milliseconds limit) {
    std::string line;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char chunk[512];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        line.append(chunk, static_cast<size_t>(n));
    }
    return line;
}

}  // namespace

AnnouncedProcess StartAnnouncedProcess(std::vector<std::string> args, bool quietErrors,
                                       std::chrono::milliseconds limit) {
    AnnouncedProcess process;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        process.error = "pipe failed";
        return process;
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (quietErrors) posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int rc = ::posix_spawnp(&process.pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        process.pid = -1;
        process.error = "cannot start " + args[0] + ": " + std::strerror(rc);
    } else {
        process.firstLine = ReadFirstLine(fds[0], limit);
    }
    ::close(fds[0]);
    return process;
}

}  // namespace quorvane::testing
