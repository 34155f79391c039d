#pragma once

#include <cstdio>
#include <functional>

#include "poll_command/poll_command_options.h"
#include "poll_command/unit_settings.h"
#include "monitor/poll_outcome.h"

namespace quorvane {

// The exit statuses of quorvane-poll.
constexpr int kExitPollSucceeded = 0;
constexpr int kExitPollFailed = 1;
constexpr int kExitUsage = 2;

// The headless poll: polls once, or every --every seconds until SIGINT or SIGTERM, and writes
// each poll to `out` in the chosen format and to the textfile; failure reasons go to `err`.
// Returns the exit status.
class TPollCommand {
public:
    using TPoll = std::function<TPollOutcome(const std::string& host, const std::string& userName,
                                             const std::string& password, int32_t port, int32_t connectTimeout,
                                             int32_t readTimeout)>;

    TPollCommand(TPollCommandOptions options, TUnitSettings settings, std::FILE* out, std::FILE* err,
                 TPoll poll = PollStatusOutcome);

    int Run();

    // How long a stop signal waits for the poll under way before abandoning it.
    static constexpr int kStopGraceMs = 800;

private:
    TPollOutcome PollOnce() const;
    // Prints the poll and writes the textfile; false when the textfile could not be written.
    bool Report(const TPollOutcome& outcome);
    int RunOnce();
    int RunEvery();

    TPollCommandOptions options_;
    TUnitSettings settings_;
    std::FILE* out_;
    std::FILE* err_;
    TPoll poll_;
};

}  // namespace quorvane
