#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rtl/exception.h"

namespace quorvane {

// A command line or a settings file the headless poll cannot work with. The message names the
// option or the settings key at fault; the program exits with status 2.
class EPollUsageError : public Exception {
public:
    using Exception::Exception;
};

enum class TReportFormat { Text, Json, Prometheus };

// What the command line of quorvane-poll asks for. Settings given here override those of the
// settings file; an option not given leaves the file's value (or the window's default).
struct TPollCommandOptions {
    bool Help = false;
    std::string SettingsFile;  // empty: no settings file
    std::optional<std::string> Section;
    std::optional<std::string> Address;
    std::optional<int32_t> Port;
    std::optional<std::string> User;
    std::optional<int32_t> ConnectTimeoutSeconds;
    std::optional<int32_t> ReadTimeoutSeconds;
    std::string PasswordFile;  // empty: none
    int32_t EverySeconds = 0;  // 0: poll once
    TReportFormat Format = TReportFormat::Text;
    std::string TextfilePath;  // empty: none
    std::optional<std::string> Unit;
    bool Quiet = false;
};

// Reads the arguments after the program name. Both "--option VALUE" and "--option=VALUE" are
// understood; a repeated option counts with its last value. Raises EPollUsageError.
TPollCommandOptions ParsePollCommandLine(const std::vector<std::string>& arguments);

// The text of --help.
std::string PollCommandHelp();

}  // namespace quorvane
