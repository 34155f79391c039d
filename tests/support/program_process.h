#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace quorvane::testing {

// Runs a program (one of the build, found beside the test executable, or a system one) with its
// standard output and error collected, for tests of whole programs. The destructor ends and
// reaps a program that is still running (SIGTERM, SIGKILL 3 s later), so a failed test never
// leaves one behind.
class ProgramProcess {
public:
    // `environment` entries ("NAME=value") are added to the test's own environment, minus
    // every variable named in `unset`.
    ProgramProcess(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment = {}, const std::vector<std::string>& unset = {});
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    pid_t Pid() const { return pid_; }
    void Signal(int signalNumber);
    // Waits up to the limit for the program to end; false when it is still running.
    bool WaitForExit(int milliseconds);
    // Its exit status (128 + the signal's number when a signal ended it); -1 before it ended.
    int ExitCode() const { return exitCode_; }
    // Everything it wrote so far (complete once it has ended).
    std::string Output() const;
    std::string Errors() const;

    // The path of a program built beside the running test executable.
    static std::string BesideTest(const std::string& name);

private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
    struct Capture;
    std::unique_ptr<Capture> capture_;
};

// Runs the program to its end (at most `milliseconds`, then it is killed) and returns it.
struct ProgramRun {
    int exitCode = -1;
    std::string output;
    std::string errors;
};
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {}, const std::vector<std::string>& unset = {},
                      int milliseconds = 20000);

}  // namespace quorvane::testing
