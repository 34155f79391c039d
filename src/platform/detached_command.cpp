#include "platform/detached_command.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file_system.h"

extern char** environ;

namespace quorvane::platform {

namespace {

// Frees the spawn attributes and actions on every path.
struct SpawnSetup {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    SpawnSetup() {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

TDetachedCommand::TDetachedCommand(const std::string& path,
                                   const std::vector<std::pair<std::string, std::string>>& environment,
                                   std::chrono::milliseconds timeLimit)
    : deadline_(std::chrono::steady_clock::now() + timeLimit) {
    if (path.empty() || path.front() != '/') {
        startError_ = "not an absolute path";
        ended_ = true;
        return;
    }
    // The caller's environment, less the variables given here, then those.
    std::vector<std::string> variables;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string line(*entry);
        bool replaced = false;
        for (const auto& [name, value] : environment) replaced = replaced || line.rfind(name + "=", 0) == 0;
        if (!replaced) variables.push_back(line);
    }
    for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string program = path;
    char* argv[] = {program.data(), nullptr};

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        startError_ = FileErrorText(errno);
        ended_ = true;
        return;
    }
    ::fcntl(pipeEnds[0], F_SETFL, ::fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);

    SpawnSetup setup;
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGQUIT, SIGCHLD}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, pipeEnds[1], 2);
    // Nothing else of this process (sockets, the settings file, the history) goes with it.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    const int spawned = ::posix_spawn(&pid_, program.c_str(), &setup.actions, &setup.attributes, argv, envp.data());
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        pid_ = -1;
        startError_ = FileErrorText(spawned);
        ended_ = true;
        return;
    }
    errorPipe_ = pipeEnds[0];
}

TDetachedCommand::~TDetachedCommand() {
    if (errorPipe_ >= 0) ::close(errorPipe_);
    // One that has just ended is reaped; one that still runs is left to itself.
    if (!ended_ && pid_ > 0) {
        int status = 0;
        ::waitpid(pid_, &status, WNOHANG);
    }
}

void TDetachedCommand::ReadErrors() {
    if (errorPipe_ < 0) return;
    char buffer[1024];
    for (;;) {
        const ssize_t got = ::read(errorPipe_, buffer, sizeof buffer);
        if (got > 0) {
            const size_t room = kMaxErrorBytes - std::min(errors_.size(), kMaxErrorBytes);
            errors_.append(buffer, std::min(room, static_cast<size_t>(got)));
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) {
            ::close(errorPipe_);
            errorPipe_ = -1;
        }
        return;  // EOF, or nothing more for now
    }
}

bool TDetachedCommand::Poll() {
    if (ended_) return true;
    ReadErrors();
    if (std::chrono::steady_clock::now() >= deadline_ && !timedOut_) {
        timedOut_ = true;
        // The whole group: a script's own children (a sleep, a mail program) go with it.
        ::kill(-pid_, SIGKILL);
    }
    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(pid_, &status, WNOHANG);
    } while (waited < 0 && errno == EINTR);
    if (waited != pid_) return false;
    ended_ = true;
    ReadErrors();
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    return true;
}

}  // namespace quorvane::platform
