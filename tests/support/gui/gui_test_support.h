#pragma once

#include <string>
#include <vector>

#include "platform/gui/dialogs.h"

namespace quorvane::testing {

// Every modal dialog the code under test asked for since the last Clear, in order. The test
// main installs the recorder before any test runs, so no dialog ever blocks a test.
std::vector<platform::DialogRequest>& RecordedDialogs();
void ClearRecordedDialogs();

// Puts a fake "xdg-open" first on PATH for the lifetime of the object. The fake appends its
// arguments, one line per call, to the record file and exits with the given code, after
// running for runSeconds (as an opener that keeps the browser in its foreground does).
class FakeOpener {
public:
    explicit FakeOpener(int exitCode, int runSeconds = 0);
    ~FakeOpener();
    FakeOpener(const FakeOpener&) = delete;
    FakeOpener& operator=(const FakeOpener&) = delete;

    // The lines recorded so far, one per call.
    std::vector<std::string> Calls() const;
    // The process id of the last call, 0 before any.
    int LastPid() const;

private:
    std::string directory_;
    std::string previousPath_;
};

// PATH without any "xdg-open" for the lifetime of the object.
class NoOpener {
public:
    NoOpener();
    ~NoOpener();
    NoOpener(const NoOpener&) = delete;
    NoOpener& operator=(const NoOpener&) = delete;

private:
    std::string directory_;
    std::string previousPath_;
};

}  // namespace quorvane::testing
