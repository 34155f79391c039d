#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::platform {

// A program run beside the caller without ever holding it: started at once, asked about
// with Poll whenever convenient, and killed with everything it started once its time limit has
// passed. It gets no arguments but its own name (its path is not split, and no shell or PATH
// search is involved), the caller's environment plus the given variables, nothing on standard
// input, standard output discarded, and standard error collected up to a limit. It runs in a
// process group of its own, with the signals a terminal or a session sends at their default.
class TDetachedCommand {
public:
    // What standard error keeps; the rest is read and dropped so the program never blocks.
    static constexpr size_t kMaxErrorBytes = 4096;

    TDetachedCommand(const std::string& path, const std::vector<std::pair<std::string, std::string>>& environment,
                     std::chrono::milliseconds timeLimit);
    // Leaves a program that still runs alone (it may be telling somebody of the alarm); only
    // its standard error is no longer read.
    ~TDetachedCommand();
    TDetachedCommand(const TDetachedCommand&) = delete;
    TDetachedCommand& operator=(const TDetachedCommand&) = delete;

    // Empty when it started, else why not ("No such file or directory").
    const std::string& StartError() const { return startError_; }
    // Reads what standard error holds and reaps the program when it has ended, without
    // waiting; kills the process group once the time limit has passed. True when it has ended
    // (or never started).
    bool Poll();
    bool TimedOut() const { return timedOut_; }
    // The exit code, or 128 plus the signal that ended it; -1 while it runs.
    int ExitCode() const { return exitCode_; }
    const std::string& Errors() const { return errors_; }
    pid_t Pid() const { return pid_; }

private:
    void ReadErrors();

    pid_t pid_ = -1;
    int errorPipe_ = -1;
    std::chrono::steady_clock::time_point deadline_;
    std::string startError_;
    std::string errors_;
    int exitCode_ = -1;
    bool ended_ = false;
    bool timedOut_ = false;
};

}  // namespace quorvane::platform
