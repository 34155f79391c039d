// quorvane-poll: the unit's poll without the window, for scripts, cron jobs and Prometheus.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "poll_command/poll_command.h"
#include "poll_command/poll_command_options.h"
#include "poll_command/unit_settings.h"

int main(int argc, char** argv) {
    using namespace quorvane;
    try {
        const TPollCommandOptions options = ParsePollCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (options.Help) {
            std::fputs(PollCommandHelp().c_str(), stdout);
            return 0;
        }
        TPollCommand command(options, ResolveUnitTarget(options), stdout, stderr);
        return command.Run();
    } catch (const EPollUsageError& e) {
        std::fprintf(stderr, "quorvane-poll: %s\n", e.Message().c_str());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvane-poll: %s\n", e.what());
        return kExitPollFailed;
    }
}
