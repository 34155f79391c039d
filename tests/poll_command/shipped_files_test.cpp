#include "poll_command/poll_command_options.h"

#include <gtest/gtest.h>

#include <cctype>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "poll_command/poll_command.h"
#include "support/program_process.h"
#include "support/temp_dir.h"
#include "support/unit_sim_process.h"

// The files shipped beside quorvane-poll (dist/) against the command itself: the dashboard and
// the alert rules may only read series it writes, and the manual page and the shell completion
// must know every option it takes.

namespace quorvane {
namespace {

using testing::ProgramProcess;
using testing::ProgramRun;
using testing::UnitSimProcess;

std::string Shipped(const std::string& relative) {
    return testing::ReadFile(std::string(QUORVANE_SOURCE_DIR) + "/dist/" + relative);
}

// The names of the series in one real exposition of a poll of the simulator.
std::set<std::string> ExposedSeries() {
    UnitSimProcess unit;
    EXPECT_NE(unit.Port(), 0) << unit.Error();
    const ProgramRun poll = testing::RunProgram(
        ProgramProcess::BesideTest("quorvane-poll"),
        {"--address", "127.0.0.1", "--port", std::to_string(unit.Port()), "--format", "prometheus", "--unit", "x"},
        {}, {"QUORVANE_PASSWORD"});
    EXPECT_EQ(poll.exitCode, kExitPollSucceeded) << poll.errors;
    std::set<std::string> names;
    std::istringstream lines(poll.output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') names.insert(line.substr(0, line.find_first_of("{ ")));
    }
    return names;
}

// The series a PromQL expression (or a Grafana label_values query) reads: the identifiers left
// once strings, label matchers, ranges and the label lists of by/on/... are gone, other than
// functions (an identifier before '('), keywords and the letters of numbers and durations.
std::set<std::string> SeriesNamesIn(std::string expression) {
    static const std::regex kLabelValues(R"(label_values\(([^,)]*),[^)]*\))");
    static const std::regex kStrings(R"("(?:[^"\\]|\\.)*"|'(?:[^'\\]|\\.)*')");
    static const std::regex kMatchers(R"(\{[^}]*\})");
    static const std::regex kRanges(R"(\[[^\]]*\])");
    static const std::regex kLabelLists(R"(\b(by|without|on|ignoring|group_left|group_right)\s*\([^)]*\))");
    static const std::regex kIdentifier(R"([A-Za-z_:][A-Za-z0-9_:]*)");
    static const std::set<std::string> kKeywords{"and", "or", "unless", "bool", "offset", "inf", "nan",
                                                 "by", "without", "on", "ignoring", "group_left", "group_right"};
    expression = std::regex_replace(expression, kLabelValues, "$1");
    for (const std::regex* part : {&kStrings, &kMatchers, &kRanges, &kLabelLists}) {
        expression = std::regex_replace(expression, *part, " ");
    }
    std::set<std::string> names;
    for (auto it = std::sregex_iterator(expression.begin(), expression.end(), kIdentifier);
         it != std::sregex_iterator(); ++it) {
        const size_t start = static_cast<size_t>(it->position());
        const size_t next = expression.find_first_not_of(' ', start + it->length());
        const char before = start == 0 ? ' ' : expression[start - 1];
        if (std::isalnum(static_cast<unsigned char>(before)) || before == '.' || before == '$') continue;
        if (next != std::string::npos && expression[next] == '(') continue;
        if (!kKeywords.count(it->str())) names.insert(it->str());
    }
    return names;
}

// The string values of a key anywhere in a JSON document, unescaped.
std::vector<std::string> JsonStrings(const std::string& json, const std::string& key) {
    const std::regex field("\"" + key + R"re("\s*:\s*"((?:[^"\\]|\\.)*)")re");
    std::vector<std::string> values;
    for (auto it = std::sregex_iterator(json.begin(), json.end(), field); it != std::sregex_iterator(); ++it) {
        std::string value;
        const std::string escaped = (*it)[1];
        for (size_t i = 0; i < escaped.size(); ++i) {
            if (escaped[i] == '\\' && i + 1 < escaped.size()) ++i;
            value += escaped[i];
        }
        values.push_back(value);
    }
    return values;
}

// The `expr:` values of a rules file, a block scalar (`expr: >-` and the lines indented below
// it) included.
std::vector<std::string> RuleExpressions(const std::string& yaml) {
    static const std::regex kExpr(R"(^(\s*)(?:- )?expr:\s*(.*)$)");
    std::vector<std::string> expressions;
    std::istringstream lines(yaml);
    std::string line;
    bool pending = std::getline(lines, line).good();
    while (pending) {
        std::smatch match;
        if (!std::regex_match(line, match, kExpr)) {
            pending = std::getline(lines, line).good();
            continue;
        }
        const size_t indent = match[1].length();
        std::string expression = match[2];
        if (expression.empty() || expression[0] == '>' || expression[0] == '|') {
            expression.clear();
            while ((pending = std::getline(lines, line).good()) &&
                   line.find_first_not_of(' ') != std::string::npos && line.find_first_not_of(' ') > indent) {
                expression += line + " ";
            }
        } else {
            pending = std::getline(lines, line).good();
        }
        expressions.push_back(expression);
    }
    return expressions;
}

TEST(ShippedFilesTest, DashboardAndAlertRulesReadOnlySeriesTheCommandWrites) {
    const std::set<std::string> exposed = ExposedSeries();
    ASSERT_TRUE(exposed.count("quorvane_temperature_celsius")) << "the poll gave no readings";

    const std::string dashboard = Shipped("grafana/quorvane.json");
    std::vector<std::string> expressions = JsonStrings(dashboard, "expr");
    for (const std::string& variable : JsonStrings(dashboard, "definition")) expressions.push_back(variable);
    const std::vector<std::string> rules = RuleExpressions(Shipped("prometheus/quorvane-rules.yml"));
    ASSERT_GE(expressions.size(), 10u);
    ASSERT_GE(rules.size(), 5u);
    expressions.insert(expressions.end(), rules.begin(), rules.end());

    std::set<std::string> read;
    for (const std::string& expression : expressions) {
        const std::set<std::string> names = SeriesNamesIn(expression);
        EXPECT_FALSE(names.empty()) << expression;
        for (const std::string& name : names) {
            EXPECT_TRUE(exposed.count(name)) << name << " in " << expression << " is not written by quorvane-poll";
            read.insert(name);
        }
    }
    for (const char* group : {"quorvane_temperature_celsius", "quorvane_fan_speed_rpm", "quorvane_voltage_volts",
                              "quorvane_input_on", "quorvane_poll_success", "quorvane_poll_duration_seconds"}) {
        EXPECT_TRUE(read.count(group)) << group << " is shown nowhere";
    }
}

TEST(ShippedFilesTest, ManualPageAndCompletionKnowEveryOption) {
    const auto options = [](const std::string& text) {
        static const std::regex kOption(R"((?:^|[^A-Za-z0-9-])(--[a-z][a-z-]*))");
        std::set<std::string> found;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), kOption); it != std::sregex_iterator(); ++it) {
            found.insert((*it)[1]);
        }
        return found;
    };
    const std::set<std::string> taken = options(PollCommandHelp());
    ASSERT_GE(taken.size(), 14u);
    const std::set<std::string> documented = options(std::regex_replace(Shipped("man/quorvane-poll.1"), std::regex(R"(\\-)"), "-"));
    const std::set<std::string> completed = options(Shipped("bash-completion/quorvane-poll"));
    for (const std::string& option : taken) {
        EXPECT_TRUE(documented.count(option)) << option << " is missing from quorvane-poll(1)";
        EXPECT_TRUE(completed.count(option)) << option << " is missing from the bash completion";
    }
    for (const std::string& option : completed) {
        EXPECT_TRUE(taken.count(option)) << "the bash completion offers " << option << ", which --help does not list";
    }
}

}  // namespace
}  // namespace quorvane
