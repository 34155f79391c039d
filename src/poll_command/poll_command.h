#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "poll_command/poll_command_options.h"
#include "poll_command/unit_settings.h"
#include "monitor/poll_outcome.h"

namespace quorvane {

// The exit statuses of quorvane-poll.
constexpr int kExitPollSucceeded = 0;
constexpr int kExitPollFailed = 1;
constexpr int kExitUsage = 2;

// Writes "quorvane-poll: <text>" as one line on `err`, through TerminalText: reasons carry the
// unit's bytes. Flushed at once.
void PrintProblem(std::FILE* err, const std::string& text);

// The headless poll: polls once, or every --every seconds until SIGINT or SIGTERM, and writes
// each poll to `out` in the chosen format and to the textfile; failure reasons go to `err`.
// Run returns the exit status.
class TPollCommand {
public:
    using TPoll = std::function<TPollResult(const TUnitTarget& target)>;

    TPollCommand(TPollCommandOptions options, TUnitTarget target, std::FILE* out, std::FILE* err,
                 TPoll poll = PollUnit);

    int Run();

    // How long a stop signal waits for the poll under way before abandoning it.
    static constexpr int kStopGraceMs = 800;

private:
    // Counts the poll, prints it and writes the textfile. Returns 0, or the exit status of what
    // could not be written: kExitPollFailed for the output (which ends any run), else
    // kExitUsage for the textfile.
    int Report(const TPollResult& result);
    int RunOnce();
    int RunEvery();

    TPollCommandOptions options_;
    TUnitTarget target_;
    std::FILE* out_;
    std::FILE* err_;
    TPoll poll_;
    // The run's own counts: the process-wide ones belong to the window's thread.
    int32_t polls_ = 0;
    int32_t errors_ = 0;
};

}  // namespace quorvane
