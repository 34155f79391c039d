// quorvane-poll: the unit's poll without the window, for scripts, cron jobs and Prometheus.

#include <cerrno>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "poll_command/poll_command.h"
#include "poll_command/poll_command_options.h"
#include "poll_command/unit_settings.h"

int main(int argc, char** argv) {
    using namespace quorvane;
    try {
        const TPollCommandOptions options = ParsePollCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (options.Help) {
            if (std::fputs(PollCommandHelp().c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
                PrintProblem(stderr, "cannot write the output: " + platform::FileErrorText(errno));
                return kExitPollFailed;
            }
            return 0;
        }
        const TUnitTarget target =
            ResolveUnitTarget(options, ProcessEnvironment, [](const std::string& warning) { PrintProblem(stderr, warning); });
        TPollCommand command(options, target, stdout, stderr);
        return command.Run();
    } catch (const EPollUsageError& e) {
        PrintProblem(stderr, e.Message());
        return kExitUsage;
    } catch (const std::exception& e) {
        PrintProblem(stderr, e.what());
        return kExitPollFailed;
    }
}
