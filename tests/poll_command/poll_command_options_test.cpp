#include "poll_command/poll_command_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvane {
namespace {

struct UsageCase {
    std::vector<std::string> arguments;
    std::string message;  // the start of the error's message
};

void PrintTo(const UsageCase& c, std::ostream* out) {
    for (const std::string& argument : c.arguments) *out << argument << ' ';
}

class PollCommandLineErrorTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(PollCommandLineErrorTest, NamesTheOption) {
    try {
        ParsePollCommandLine(GetParam().arguments);
        FAIL() << "accepted";
    } catch (const EPollUsageError& e) {
        EXPECT_EQ(e.Message().rfind(GetParam().message, 0), 0u) << e.Message();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PollCommandLineErrorTest,
    ::testing::Values(UsageCase{{"--adress", "127.0.0.1"}, "--adress: unknown option"},
                      UsageCase{{"127.0.0.1"}, "'127.0.0.1': unexpected argument"},
                      UsageCase{{"--address"}, "--address: needs a value"},
                      UsageCase{{"--port", "8o"}, "--port: expected a whole number from 1 to 65535, not '8o'"},
                      UsageCase{{"--every=-5"}, "--every: expected a whole number from 1 to 86400"},
                      UsageCase{{"--format", "xml"}, "--format: expected text, json or prometheus, not 'xml'"},
                      UsageCase{{"--section", "Quorvane"}, "--section: needs --settings FILE"},
                      // The refusal comes before the value is looked at, whatever follows.
                      UsageCase{{"--password", "secret"}, "--password: the password is never taken"},
                      UsageCase{{"--address", "10.0.0.1", "--password=secret"}, "--password: the password is never taken"}));

}  // namespace
}  // namespace quorvane
