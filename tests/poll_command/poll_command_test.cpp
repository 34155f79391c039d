#include "poll_command/poll_command.h"

#include <gtest/gtest.h>

#include <cstdio>
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

}  // namespace
}  // namespace quorvane
