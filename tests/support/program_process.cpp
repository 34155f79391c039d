#include "support/program_process.h"
#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <thread>

extern char** environ;

namespace quorvane::testing {

// Drains both pipes on a thread of its own, so a program that writes much never blocks on a
// full pipe while the test waits for it.
struct ProgramProcess::Capture {
    int outFd = -1;
    int errFd = -1;
    mutable std::mutex lock;
    std::string out;
    std::string err;
    std::thread reader;

    void Read() {
        pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        int open = 2;
        while (open > 0) {
            if (::poll(fds, 2, 1000) < 0 && errno != EINTR) return;
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0) continue;
                char chunk[4096];
                const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
                if (n > 0) {
                    const std::lock_guard<std::mutex> guard(lock);
                    (i == 0 ? out : err).append(chunk, static_cast<size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }

    ~Capture() {
        if (reader.joinable()) reader.join();
        if (outFd >= 0) ::close(outFd);
        if (errFd >= 0) ::close(errFd);
    }
};

std::string ProgramProcess::BesideTest(const std::string& name) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return name;
    const std::string path(buffer, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/')) + "/" + name;
}

ProgramProcess::ProgramProcess(const std::string& program, const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment, const std::vector<std::string>& unset)
    : capture_(std::make_unique<Capture>()) {
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        bool dropped = false;
        for (const std::string& name : unset) dropped = dropped || variable.rfind(name + "=", 0) == 0;
        if (!dropped) variables.push_back(variable);
    }
    variables.insert(variables.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    capture_->outFd = outPipe[0];
    capture_->errFd = errPipe[0];
    if (rc != 0) {
        pid_ = -1;
        capture_->err = "cannot start " + program + ": " + std::strerror(rc);
        return;
    }
    capture_->reader = std::thread([capture = capture_.get()] { capture->Read(); });
}

// Asked to end first, so that a program with files of its own (a display server's lock and
// socket) removes them.
ProgramProcess::~ProgramProcess() {
    if (pid_ > 0 && exitCode_ < 0) EndChild(pid_, 3000);
}

void ProgramProcess::Signal(int signalNumber) {
    if (pid_ > 0 && exitCode_ < 0) ::kill(pid_, signalNumber);
}

bool ProgramProcess::WaitForExit(int milliseconds) {
    if (pid_ <= 0 || exitCode_ >= 0) return true;
    if (!WaitForChild(pid_, milliseconds, &exitCode_)) return false;
    // The pipes reach their end once the program (and anything it started) is gone.
    if (capture_->reader.joinable()) capture_->reader.join();
    return true;
}

std::string ProgramProcess::Output() const {
    const std::lock_guard<std::mutex> guard(capture_->lock);
    return capture_->out;
}

std::string ProgramProcess::Errors() const {
    const std::lock_guard<std::mutex> guard(capture_->lock);
    return capture_->err;
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment, const std::vector<std::string>& unset,
                      int milliseconds) {
    ProgramProcess process(program, arguments, environment, unset);
    process.WaitForExit(milliseconds);
    return {process.ExitCode(), process.Output(), process.Errors()};
}

}  // namespace quorvane::testing
