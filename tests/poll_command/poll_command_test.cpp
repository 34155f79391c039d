#include "poll_command/poll_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "support/temp_dir.h"

namespace quorvane {
namespace {

TPollResult GoodPoll(const TUnitTarget&) {
    TPollResult result;
    result.Outcome = TPollOutcome{200, true, "", 1'800'000'000'000, 5};
    result.Started = true;
    return result;
}

// A report nobody can read is no success: the caller would take the missing output for a
// quiet poll.
TEST(PollCommandTest, AnOutputThatCannotBeWrittenFailsTheRun) {
    testing::TempDir dir;
    TPollCommandOptions options;
    options.Format = TReportFormat::Json;
    struct Output {
        const char* name;
        const char* path;
        const char* mode;
        const char* reason;
    };
    for (const Output output : {Output{"full disk", "/dev/full", "w", "No space left on device"},
                                Output{"closed", "/dev/null", "r", "Bad file descriptor"}}) {
        std::FILE* out = std::fopen(output.path, output.mode);
        std::FILE* err = std::fopen(dir.File("errors").c_str(), "w+");
        ASSERT_NE(out, nullptr);
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(TPollCommand(options, TUnitTarget{}, out, err, GoodPoll).Run(), kExitPollFailed) << output.name;
        std::fclose(out);
        std::fclose(err);
        EXPECT_EQ(testing::ReadFile(dir.File("errors")),
                  std::string("quorvane-poll: cannot write the output: ") + output.reason + "\n")
            << output.name;
    }
}

// A poll that cannot even begin (no socket library) raises; on the thread of a run of polls
// that must reach the caller, who says why, rather than end the process unannounced.
TEST(PollCommandTest, APollThatRaisesInARunOfPollsReachesTheCaller) {
    TPollCommandOptions options;
    options.EverySeconds = 1;
    options.Quiet = true;
    const auto raising = [](const TUnitTarget&) -> TPollResult { throw std::runtime_error("no socket library"); };
    TPollCommand command(options, TUnitTarget{}, stdout, stderr, raising);
    EXPECT_THROW(command.Run(), std::runtime_error);
}

}  // namespace
}  // namespace quorvane
