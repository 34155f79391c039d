#include "poll_command/poll_command_options.h"

#include <charconv>

#include "monitor/unit_target.h"
#include "rtl/format.h"

namespace quorvane {

namespace {

int32_t WholeNumber(const std::string& option, const std::string& text, int32_t lowest, int32_t highest) {
    int32_t value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < lowest || value > highest) {
        throw EPollUsageError(option + ": expected a whole number from " + std::to_string(lowest) + " to " +
                              std::to_string(highest) + ", not '" + text + "'");
    }
    return value;
}

std::string NonEmpty(const std::string& option, const std::string& text) {
    if (text.empty()) throw EPollUsageError(option + ": the value is empty");
    return text;
}

TReportFormat FormatNamed(const std::string& text) {
    if (text == "text") return TReportFormat::Text;
    if (text == "json") return TReportFormat::Json;
    if (text == "prometheus") return TReportFormat::Prometheus;
    throw EPollUsageError("--format: expected text, json or prometheus, not '" + text + "'");
}

}  // namespace

TPollCommandOptions ParsePollCommandLine(const std::vector<std::string>& arguments) {
    TPollCommandOptions options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string option = arguments[i];
        std::optional<std::string> inlineValue;
        if (const size_t equals = option.find('='); option.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = option.substr(equals + 1);
            option.erase(equals);
        }
        if (option == "--password") {
            // Refused before anything else: a password on the command line shows in the
            // process list of every user of the machine.
            throw EPollUsageError(
                "--password: the password is never taken from the command line (it would show in the process "
                "list); use --password-file FILE, the QUORVANE_PASSWORD variable or the settings file");
        }
        const auto flag = [&]() {
            if (inlineValue) throw EPollUsageError(option + ": takes no value");
        };
        const auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 >= arguments.size()) throw EPollUsageError(option + ": needs a value");
            return arguments[++i];
        };
        if (option == "--help" || option == "-h") {
            flag();
            options.Help = true;
        } else if (option == "--quiet") {
            flag();
            options.Quiet = true;
        } else if (option == "--settings") {
            options.SettingsFile = NonEmpty(option, value());
        } else if (option == "--section") {
            options.Section = NonEmpty(option, value());
        } else if (option == "--address") {
            options.Address = NonEmpty(option, value());
        } else if (option == "--port") {
            options.Port = WholeNumber(option, value(), 1, 65535);
        } else if (option == "--user") {
            options.User = value();
        } else if (option == "--connect-timeout") {
            options.ConnectTimeoutSeconds = WholeNumber(option, value(), 0, TUnitSettings::kMaxTimeout);
        } else if (option == "--read-timeout") {
            options.ReadTimeoutSeconds = WholeNumber(option, value(), 0, TUnitSettings::kMaxTimeout);
        } else if (option == "--password-file") {
            options.PasswordFile = NonEmpty(option, value());
        } else if (option == "--every") {
            options.EverySeconds = WholeNumber(option, value(), 1, 86400);
        } else if (option == "--format") {
            options.Format = FormatNamed(value());
        } else if (option == "--textfile") {
            options.TextfilePath = NonEmpty(option, value());
        } else if (option == "--unit") {
            options.Unit = NonEmpty(option, value());
        } else if (option.rfind("-", 0) == 0) {
            throw EPollUsageError(option + ": unknown option (see --help)");
        } else {
            throw EPollUsageError("'" + option + "': unexpected argument (see --help)");
        }
    }
    if (options.Section && options.SettingsFile.empty()) {
        throw EPollUsageError("--section: needs --settings FILE");
    }
    return options;
}

std::string PollCommandHelp() {
    const TUnitSettings defaults;
    return Format(
           "usage: quorvane-poll [options]\n"
           "Polls a Quorvane sensor unit once (or every --every seconds) and prints the readings.\n"
           "\n"
           "Where the unit is (options override the settings file):\n"
           "  --settings FILE         read the unit's settings from FILE, in the monitor's format\n"
           "                          (keys IPV4, Port, UserName, Pass, Timeout, RTimeout); the file is\n"
           "                          never written\n"
           "  --section NAME          section of the settings file (default: the file name without\n"
           "                          its extension, so Quorvane.ini gives [Quorvane])\n"
           "  --address ADDR          the unit's address (required without a settings file)\n"
           "  --port N                HTTP port (default %s)\n"
           "  --user NAME             user name (default %s)\n"
           "  --connect-timeout S     connect time limit in seconds, 0 for none (default %d)\n"
           "  --read-timeout S        read time limit in seconds, 0 for none (default %d)\n"
           "\n"
           "The password is never taken from the command line. It comes from, in this order:\n"
           "  --password-file FILE    the first line of FILE\n"
           "  QUORVANE_PASSWORD       the environment variable\n"
           "  the settings file's Pass key, else the unit's factory password\n"
           "\n"
           "What to do:\n"
           "  --every S               poll every S seconds (1 to 86400) until SIGINT or SIGTERM, then\n"
           "                          exit 0; without it, poll once\n"
           "  --format F              text (default, one line a reading), json (one object a poll)\n"
           "                          or prometheus (text exposition format 0.0.4)\n"
           "  --textfile PATH         after every poll, replace PATH atomically with the Prometheus\n"
           "                          text, for node_exporter's textfile collector (name it *.prom)\n"
           "  --unit NAME             label every Prometheus series (and the JSON object) with\n"
           "                          unit=\"NAME\"\n"
           "  --quiet                 print nothing on standard output (failures still go to\n"
           "                          standard error)\n"
           "  --help                  this text\n"
           "\n"
           "Exit status: 0 the poll succeeded (with --every: stopped by a signal), 1 the poll failed\n"
           "or its report could not be written (the reason is on standard error), 2 a usage or\n"
           "settings error.\n",
           defaults.Port.c_str(), defaults.UserName.c_str(), static_cast<int>(defaults.ConnectTimeout),
           static_cast<int>(defaults.ReadTimeout));
}

}  // namespace quorvane
